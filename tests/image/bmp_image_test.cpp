#include "image/bmp_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using test::BmpSpec;
using test::kBmpInfoHeaderOffset;
using test::MakeBmp;
using test::PutLe16;
using test::PutLe32;
using test::Rgb;

constexpr std::size_t kInfo = kBmpInfoHeaderOffset;

std::vector<std::uint8_t> PatternRgb(int width, int height) {
  std::vector<std::uint8_t> rgb;
  for (int i = 0; i < width * height; ++i) {
    rgb.push_back(static_cast<std::uint8_t>(37 * i + 1));
    rgb.push_back(static_cast<std::uint8_t>(91 * i + 2));
    rgb.push_back(static_cast<std::uint8_t>(13 * i + 200));
  }
  return rgb;
}

BmpSpec RgbSpec(int width, int height, std::uint16_t bits = 24) {
  BmpSpec layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bits;
  layout.pixels = PatternRgb(width, height);
  return layout;
}

// An 8-bit picture using indices 0..tableSize-1 of a table of distinct
// colours.
BmpSpec IndexedSpec(int width, int height, int tableSize = 6) {
  BmpSpec layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = 8;
  for (int k = 0; k < tableSize; ++k) {
    layout.colourTable.push_back({static_cast<std::uint8_t>(40 * k),
                                static_cast<std::uint8_t>(255 - 30 * k),
                                static_cast<std::uint8_t>(7 * k + 3)});
  }
  for (int i = 0; i < width * height; ++i) {
    layout.pixels.push_back(static_cast<std::uint8_t>((i * 5 + 1) % tableSize));
  }
  return layout;
}

std::vector<std::uint8_t> ThroughTable(const BmpSpec& layout) {
  std::vector<std::uint8_t> rgb;
  for (std::uint8_t index : layout.pixels) {
    const Rgb& entry = layout.colourTable[index];
    rgb.insert(rgb.end(), {entry.red, entry.green, entry.blue});
  }
  return rgb;
}

TEST(BmpImageTest, DecodesEveryVariantAndRowPadding) {
  struct Case {
    const char* name;
    std::uint16_t bits;
    bool topDown, bitFields;
    std::uint32_t headerSize;
    bool flag1555;
  };
  const Case cases[] = {
      {"24-bit", 24, false, false, 40, false},
      {"24-bit top-down", 24, true, false, 40, false},
      {"32-bit", 32, false, false, 40, true},
      {"32-bit bit fields after a 40-byte header", 32, false, true, 40, false},
      {"32-bit bit fields in a V4 header", 32, false, true, 108, false},
      {"32-bit bit fields in a V5 header, top-down", 32, true, true, 124, false},
      {"8-bit indices", 8, false, false, 40, false},
      {"8-bit indices top-down", 8, true, false, 40, false},
      {"8-bit through the colour table", 8, false, false, 40, true},
  };
  for (const Case& c : cases) {
    for (int width = 1; width <= 5; ++width) {
      SCOPED_TRACE(std::string(c.name) + ", width " + std::to_string(width));
      BmpSpec layout = c.bits == 8 ? IndexedSpec(width, 3) : RgbSpec(width, 3, c.bits);
      layout.topDown = c.topDown;
      layout.bitFields = c.bitFields;
      layout.infoHeaderSize = c.headerSize;
      BmpImage image;
      ASSERT_TRUE(image.LoadFromBytes(MakeBmp(layout), c.flag1555).ok());
      EXPECT_EQ(image.width, width);
      EXPECT_EQ(image.height, 3);
      if (c.bits == 8 && !c.flag1555) {
        EXPECT_EQ(image.pixelFormat, kPixelFormatIndexed);
        EXPECT_EQ(image.decodedPixels, layout.pixels);
        // The colour table is not taken into the palette.
        EXPECT_EQ(image.palette, (std::array<std::uint8_t, 768>{}));
      } else {
        EXPECT_EQ(image.pixelFormat, kPixelFormatRgb);
        EXPECT_EQ(image.decodedPixels,
                  c.bits == 8 ? ThroughTable(layout) : layout.pixels);
      }
      EXPECT_TRUE(image.pixels.empty());
    }
  }
}

TEST(BmpImageTest, StoredRowsAreBottomUpWithFourByteStrides) {
  // 2 x 2, 24 bits: 6 bytes of pixels and 2 of padding per row; the last
  // stored row is the top of the picture.
  std::vector<std::uint8_t> file = MakeBmp(RgbSpec(2, 2));
  ASSERT_EQ(file.size(), 54u + 2 * 8);
  const std::uint8_t bottomRow[8] = {1, 2, 3, 4, 5, 6, 0, 0};
  const std::uint8_t topRow[8] = {7, 8, 9, 10, 11, 12, 0, 0};
  std::copy(std::begin(bottomRow), std::end(bottomRow), file.begin() + 54);
  std::copy(std::begin(topRow), std::end(topRow), file.begin() + 62);
  BmpImage image;
  ASSERT_TRUE(image.LoadFromBytes(file, false).ok());
  EXPECT_EQ(image.decodedPixels,
            (std::vector<std::uint8_t>{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(BmpImageTest, ColoursUsedZeroAndFullTableDecodeAlike) {
  BmpSpec full = IndexedSpec(5, 2, 256);
  BmpSpec zero = full;
  zero.coloursUsed = 0;
  for (bool flag1555 : {false, true}) {
    BmpImage a, b;
    ASSERT_TRUE(a.LoadFromBytes(MakeBmp(full), flag1555).ok());
    ASSERT_TRUE(b.LoadFromBytes(MakeBmp(zero), flag1555).ok());
    EXPECT_EQ(a.decodedPixels, b.decodedPixels);
  }
}

TEST(BmpImageTest, RgbRowsStartAtThePixelDataOffset) {
  // A colours-used count on a 24-bit picture and a gap before the rows:
  // only the pixel data offset tells where they start.
  const BmpSpec layout = RgbSpec(3, 2);
  std::vector<std::uint8_t> file = MakeBmp(layout);
  PutLe32(file, kInfo + 32, 5);
  file.insert(file.begin() + 54, 12, 0xEE);
  PutLe32(file, 10, 54 + 12);
  BmpImage image;
  ASSERT_TRUE(image.LoadFromBytes(file, false).ok());
  EXPECT_EQ(image.decodedPixels, layout.pixels);
}

TEST(BmpImageTest, UsesTheRealFileLengthNotTheSizeField) {
  const BmpSpec layout = RgbSpec(5, 2);  // one padding byte per row
  std::vector<std::uint8_t> file = MakeBmp(layout);
  PutLe32(file, 2, 20);
  file.pop_back();  // the last row's padding is not needed
  BmpImage image;
  ASSERT_TRUE(image.LoadFromBytes(file, false).ok());
  EXPECT_EQ(image.decodedPixels, layout.pixels);
}

struct Refusal {
  const char* name;
  std::function<std::vector<std::uint8_t>()> file;
  bool flag1555;
  std::string message;
};

std::vector<std::uint8_t> Damaged(
    BmpSpec layout, const std::function<void(std::vector<std::uint8_t>&)>& damage) {
  std::vector<std::uint8_t> file = MakeBmp(layout);
  damage(file);
  return file;
}

TEST(BmpImageTest, RefusesMalformedFilesAndKeepsTheEarlierPicture) {
  using Bytes = std::vector<std::uint8_t>;
  BmpSpec bitFields = RgbSpec(2, 2, 32);
  bitFields.bitFields = true;
  const Refusal cases[] = {
      {"empty", [] { return Bytes{}; }, false, kNotABitmapMessage},
      {"signature", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { f[1] = 'A'; }); },
       false, kNotABitmapMessage},
      {"64 bits", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe16(f, kInfo + 14, 64); }); },
       false, "64 bits per pixel are not supported"},
      {"3 bits", [] { return Damaged(IndexedSpec(2, 2), [](Bytes& f) { PutLe16(f, kInfo + 14, 3); }); },
       false, "3 bits per pixel are not supported"},
      {"0 bits", [] { return Damaged(IndexedSpec(2, 2), [](Bytes& f) { PutLe16(f, kInfo + 14, 0); }); },
       true, "0 bits per pixel are not supported"},
      {"header cut", [] { return Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40}; },
       false, "the BMP header is cut short"},
      {"header size beyond the file",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo, 5000); }); },
       false, "the BMP header is cut short"},
      {"header of 80 bytes", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo, 80); }); },
       false, "unsupported BMP header of 80 bytes"},
      {"RLE8 on 24 bits", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 16, 1); }); },
       false, "compression 1 (RLE8) needs 8 bits per pixel, not 24"},
      {"JPEG", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 16, 4); }); },
       false, "compression 4 (an embedded JPEG picture) is not supported"},
      {"bit fields on 24 bits",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 16, 3); }); },
       false, "compression 3 (bit fields) needs 16 or 32 bits per pixel, not 24"},
      {"mask of two runs",
       [&] { return Damaged(bitFields, [](Bytes& f) { PutLe32(f, 54, 0x00FF00FF); }); },
       false, "the red mask 0x00FF00FF is not one run of bits inside a 32-bit pixel"},
      {"masks cut", [&] { return Damaged(bitFields, [](Bytes& f) { f.resize(58); }); },
       false, "the BMP colour masks are cut short"},
      {"width 0", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 4, 0); }); },
       false, "invalid picture size: 0 x 2 pixels"},
      {"width -3",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 4, static_cast<std::uint32_t>(-3)); }); },
       false, "invalid picture size: -3 x 2 pixels"},
      {"height 0", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 8, 0); }); },
       false, "invalid picture size: 2 x 0 pixels"},
      {"40000 wide", [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 4, 40000); PutLe32(f, kInfo + 8, 10); }); },
       false, "picture too large: 40000 x 10 pixels"},
      {"most negative height",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 8, 0x80000000u); }); },
       false, "picture too large: 2 x 2147483648 pixels"},
      {"over 256 MiB",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 4, 20000); PutLe32(f, kInfo + 8, 20000); }); },
       false, "picture too large: 20000 x 20000 pixels"},
      {"rows cut", [] { return Damaged(RgbSpec(4, 2), [](Bytes& f) { f.pop_back(); }); },
       false, "the pixel data end before the last row"},
      {"tall header, few rows",
       [] { return Damaged(RgbSpec(4, 2), [](Bytes& f) { PutLe32(f, kInfo + 8, 3); }); },
       false, "the pixel data end before the last row"},
      {"offset beyond the end",
       [] { return Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, 10, 100000); }); },
       false, "the pixel data offset lies beyond the end of the file"},
      {"table cut",
       [] {
         BmpSpec layout = IndexedSpec(2, 2);
         layout.coloursUsed = 0;  // 256 entries announced, 6 present
         return MakeBmp(layout);
       },
       true, "the colour table runs past the end of the file"},
      {"index beyond the table",
       [] {
         BmpSpec layout = IndexedSpec(2, 2, 4);
         layout.pixels[3] = 4;
         return MakeBmp(layout);
       },
       true, "pixel index beyond the colour table"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    BmpImage image;
    const BmpSpec earlier = RgbSpec(3, 1);
    ASSERT_TRUE(image.LoadFromBytes(MakeBmp(earlier), false).ok());
    const Status status = image.LoadFromBytes(c.file(), c.flag1555);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(image.decodedPixels, earlier.pixels);
  }
}

TEST(BmpImageTest, IndexBeyondTheTableIsKeptWithoutWidening) {
  BmpSpec layout = IndexedSpec(2, 2, 4);
  layout.pixels[3] = 200;
  BmpImage image;
  ASSERT_TRUE(image.LoadFromBytes(MakeBmp(layout), false).ok());
  EXPECT_EQ(image.decodedPixels[3], 200);
}

std::uint16_t FirstValue(const BmpImage& image) {
  return static_cast<std::uint16_t>(image.decodedPixels[0] |
                                    (image.decodedPixels[1] << 8));
}

BmpImage LoadedColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  BmpSpec layout;
  layout.pixels = {r, g, b};
  BmpImage image;
  EXPECT_TRUE(image.LoadFromBytes(MakeBmp(layout), false).ok());
  return image;
}

TEST(BmpImageTest, ConvertTo16BitSetsBit15AndRounds) {
  struct Case {
    std::uint8_t r, g, b;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {0, 0, 0, 0x8000},     {255, 255, 255, 0xFFFF}, {255, 0, 0, 0xFC00},
      {8, 8, 8, 0x8421},     {4, 4, 4, 0x8000},       {5, 0, 0, 0x8400},
      {0, 5, 0, 0x8020},     {0, 0, 5, 0x8001},       {0, 0, 252, 0x801F},
      {0, 0, 253, 0x801F},   {0, 0, 244, 0x801E},
  };
  for (const Case& c : cases) {
    BmpImage image = LoadedColour(c.r, c.g, c.b);
    image.ConvertTo16Bit();
    EXPECT_EQ(image.pixelFormat, kPixelFormat16Bit);
    ASSERT_EQ(image.decodedPixels.size(), 2u);
    EXPECT_EQ(FirstValue(image), c.expected)
        << int(c.r) << "," << int(c.g) << "," << int(c.b);
  }
}

TEST(BmpImageTest, ConvertTo16BitLeavesIndexedPicturesAlone) {
  const BmpSpec layout = IndexedSpec(3, 2);
  BmpImage image;
  ASSERT_TRUE(image.LoadFromBytes(MakeBmp(layout), false).ok());
  image.ConvertTo16Bit();
  EXPECT_EQ(image.pixelFormat, kPixelFormatIndexed);
  EXPECT_EQ(image.decodedPixels, layout.pixels);
}

TEST(BmpImageTest, LoadNamesTheFileInItsMessages) {
  const test::ScratchDirectory directory("krelt_bmp_test");
  std::vector<std::uint8_t> cut = MakeBmp(RgbSpec(4, 2));
  cut.pop_back();
  std::vector<std::uint8_t> deep = MakeBmp(RgbSpec(2, 2));
  PutLe16(deep, kInfo + 14, 64);
  BmpImage image;
  EXPECT_EQ(image.Load(directory.Write("Cut.bmp", cut), false).message(),
            "Cut.bmp: the pixel data end before the last row");
  EXPECT_EQ(image.Load(directory.Write("Text.bmp", {'h', 'i'}), false).message(),
            std::string("Text.bmp: ") + kNotABitmapMessage);
  EXPECT_EQ(image.Load(directory.Write("Deep.bmp", deep), false).message(),
            "Deep.bmp: 64 bits per pixel are not supported");
  EXPECT_EQ(image.Load(directory.path() / "Missing.bmp", false).message(),
            "can't open '" + PathToUtf8(directory.path() / "Missing.bmp") +
                "': no such file");
  EXPECT_EQ(image.Load(directory.path(), false).message(),
            "can't read '" + PathToUtf8(directory.path()) + "': it is a folder");
  EXPECT_TRUE(
      image.Load(directory.Write("Good.bmp", MakeBmp(RgbSpec(2, 2))), false).ok());
}

// Pictures written by ImageMagick and Netpbm against Netpbm's own reading.
TEST(BmpImageTest, ReadsPicturesOfOtherTools) {
  for (const char* name : {"bmp8_7x5", "bmp8_13x6", "bmp24_7x5", "bmp24_13x6",
                           "bmp32_13x6"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::TestDataPath(std::string(name) + ".expected.ppm"));
    ASSERT_GT(expected.width, 0);
    BmpImage image;
    ASSERT_TRUE(image.Load(test::TestDataPath(std::string(name) + ".bmp"), true).ok());
    EXPECT_EQ(image.width, expected.width);
    EXPECT_EQ(image.height, expected.height);
    EXPECT_EQ(image.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(image.decodedPixels, expected.rgb);

    // Without flag1555 8-bit pictures keep indices: equal indices must mean
    // equal colours and the other way round.
    BmpImage indexed;
    ASSERT_TRUE(indexed.Load(test::TestDataPath(std::string(name) + ".bmp"), false).ok());
    if (indexed.pixelFormat != kPixelFormatIndexed) continue;
    const auto& indices = indexed.decodedPixels;
    for (std::size_t i = 0; i < indices.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        const bool sameColour = std::equal(&expected.rgb[3 * i], &expected.rgb[3 * i + 3],
                                           &expected.rgb[3 * j]);
        EXPECT_EQ(indices[i] == indices[j], sameColour) << i << " " << j;
      }
    }
  }
}

// ImageMagick pads each coded row to a multiple of four pixels; the padding
// pixels lie past the row's end and are dropped.
TEST(BmpImageTest, ReadsTheRunLengthCodedPictureOfAnotherTool) {
  const test::PlainPpm expected = test::ReadPlainPpm(test::TestDataPath("bmp8_rle_13x6.expected.ppm"));
  ASSERT_GT(expected.width, 0);
  BmpImage image;
  ASSERT_TRUE(image.Load(test::TestDataPath("bmp8_rle_13x6.bmp"), true).ok());
  EXPECT_EQ(image.width, 13);
  EXPECT_EQ(image.decodedPixels, expected.rgb);
}

}  // namespace
}  // namespace krelt
