// ReadBmp on every BMP variant: uncompressed 8, 24 and 32 bits from our
// writer, other headers, packed palette pixels, run-length coding, bit
// fields, refusals and the pictures of other tools.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/bmp_image.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::BmpSpec;
using test::kBmpInfoHeaderOffset;
using test::MakeBmp;
using test::PutLe16;
using test::PutLe32;
using test::Rgb;

// A BMP file put together field by field, for headers and codes no writer
// of ours produces.
struct RawBmp {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> masksAfterHeader;
  std::vector<std::uint32_t> masksInHeader;  // from header offset 40
  std::vector<Rgb> palette;
  Bytes data;  // the pixel data as stored
  std::optional<std::uint32_t> pixelOffset;
};

Bytes Build(const RawBmp& raw) {
  const std::size_t entrySize = raw.headerSize == 12 ? 3 : 4;
  const std::size_t offset = 14 + raw.headerSize + 4 * raw.masksAfterHeader.size() +
                             entrySize * raw.palette.size();
  Bytes file(offset, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 10, raw.pixelOffset.value_or(static_cast<std::uint32_t>(offset)));
  PutLe32(file, 14, raw.headerSize);
  if (raw.headerSize == 12) {
    PutLe16(file, 18, static_cast<std::uint16_t>(raw.width));
    PutLe16(file, 20, static_cast<std::uint16_t>(raw.height));
    PutLe16(file, 22, raw.planes);
    PutLe16(file, 24, raw.bits);
  } else {
    PutLe32(file, 18, static_cast<std::uint32_t>(raw.width));
    PutLe32(file, 22, static_cast<std::uint32_t>(raw.height));
    PutLe16(file, 26, raw.planes);
    PutLe16(file, 28, raw.bits);
    if (raw.headerSize >= 20) PutLe32(file, 30, raw.compression);
    if (raw.headerSize >= 36) PutLe32(file, 46, raw.coloursUsed);
  }
  for (std::size_t i = 0; i < raw.masksInHeader.size(); ++i) {
    PutLe32(file, 54 + 4 * i, raw.masksInHeader[i]);
  }
  std::size_t at = 14 + raw.headerSize;
  for (const std::uint32_t mask : raw.masksAfterHeader) {
    PutLe32(file, at, mask);
    at += 4;
  }
  for (const Rgb& entry : raw.palette) {
    file[at] = entry.blue;
    file[at + 1] = entry.green;
    file[at + 2] = entry.red;
    at += entrySize;
  }
  file.insert(file.end(), raw.data.begin(), raw.data.end());
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  return file;
}

const std::vector<Rgb> kPalette = {{0, 0, 0},    {255, 0, 0},   {0, 255, 0}, {0, 0, 255},
                                   {9, 99, 199}, {250, 128, 7}, {1, 2, 3},   {77, 66, 55}};

Picture Read(const Bytes& file, bool flag1555 = false) {
  return test::ReadAccepted(ReadBmp, file, flag1555);
}

Status Refusal(const Bytes& file, bool flag1555 = false) {
  Picture picture;
  return ReadBmp(file, ReadOptions{flag1555}, picture);
}

Bytes PatternRgb(int width, int height) {
  Bytes rgb;
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

Bytes ThroughTable(const BmpSpec& layout) {
  Bytes rgb;
  for (std::uint8_t index : layout.pixels) {
    const Rgb& entry = layout.colourTable[index];
    rgb.insert(rgb.end(), {entry.red, entry.green, entry.blue});
  }
  return rgb;
}

// Our writer's uncompressed pictures of widths 1 to 5, so that every row
// padding of 0 to 3 bytes occurs.
TEST(BmpVariantsTest, UncompressedPicturesAndRowPadding) {
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
      const Picture picture = Read(MakeBmp(layout), c.flag1555);
      EXPECT_EQ(picture.width, width);
      EXPECT_EQ(picture.height, 3);
      if (c.bits == 8 && !c.flag1555) {
        EXPECT_EQ(picture.pixelFormat, kPixelFormatIndexed);
        EXPECT_EQ(picture.pixels, layout.pixels);
        test::ExpectPaletteColours(picture, {width, 3, ThroughTable(layout)});
      } else {
        EXPECT_EQ(picture.pixelFormat, kPixelFormatRgb);
        EXPECT_EQ(picture.pixels, c.bits == 8 ? ThroughTable(layout) : layout.pixels);
      }
    }
  }
}

TEST(BmpVariantsTest, StoredRowsAreBottomUpWithFourByteStrides) {
  // 2 x 2, 24 bits: 6 bytes of pixels and 2 of padding per row; the last
  // stored row is the top of the picture.
  Bytes file = MakeBmp(RgbSpec(2, 2));
  ASSERT_EQ(file.size(), 54u + 2 * 8);
  const std::uint8_t bottomRow[8] = {1, 2, 3, 4, 5, 6, 0, 0};
  const std::uint8_t topRow[8] = {7, 8, 9, 10, 11, 12, 0, 0};
  std::copy(std::begin(bottomRow), std::end(bottomRow), file.begin() + 54);
  std::copy(std::begin(topRow), std::end(topRow), file.begin() + 62);
  EXPECT_EQ(Read(file).pixels, (Bytes{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(BmpVariantsTest, ColoursUsedZeroAndFullTableDecodeAlike) {
  BmpSpec full = IndexedSpec(5, 2, 256);
  BmpSpec zero = full;
  zero.coloursUsed = 0;
  for (bool flag1555 : {false, true}) {
    EXPECT_EQ(Read(MakeBmp(full), flag1555).pixels, Read(MakeBmp(zero), flag1555).pixels);
  }
}

TEST(BmpVariantsTest, RgbRowsStartAtThePixelDataOffset) {
  // A colours-used count on a 24-bit picture and a gap before the rows:
  // only the pixel data offset tells where they start.
  const BmpSpec layout = RgbSpec(3, 2);
  Bytes file = MakeBmp(layout);
  PutLe32(file, kBmpInfoHeaderOffset + 32, 5);
  file.insert(file.begin() + 54, 12, 0xEE);
  PutLe32(file, 10, 54 + 12);
  EXPECT_EQ(Read(file).pixels, layout.pixels);
}

TEST(BmpVariantsTest, UsesTheRealFileLengthNotTheSizeField) {
  const BmpSpec layout = RgbSpec(5, 2);  // one padding byte per row
  Bytes file = MakeBmp(layout);
  PutLe32(file, 2, 20);
  file.pop_back();  // the last row's padding is not needed
  EXPECT_EQ(Read(file).pixels, layout.pixels);
}

// Without "1555" the indices are not looked up, so one beyond the table
// stays as it is.
TEST(BmpVariantsTest, IndexBeyondTheTableIsKeptWithoutWidening) {
  BmpSpec layout = IndexedSpec(2, 2, 4);
  layout.pixels[3] = 200;
  EXPECT_EQ(Read(MakeBmp(layout)).pixels[3], 200);
}

// The same 2 x 2 picture of 8-bit indices behind every header size: the
// OS/2 1.x header with 3-byte palette entries, OS/2 2.x headers of 16 to 64
// bytes, and the Windows headers.
TEST(BmpVariantsTest, EveryHeaderSizeGivesTheSamePicture) {
  const Bytes rows = {5, 6, 0, 0, 1, 2, 0, 0};  // bottom row first
  for (const std::uint32_t headerSize : {12u, 16u, 20u, 36u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    RawBmp raw;
    raw.headerSize = headerSize;
    raw.width = 2;
    raw.height = 2;
    raw.palette = kPalette;
    raw.coloursUsed = 8;
    raw.data = rows;
    Bytes file = Build(raw);
    // Headers without a colour count announce 256 entries, which must lie
    // inside the file.
    file.resize(file.size() + 1024);
    const Picture indexed = Read(file);
    EXPECT_EQ(indexed.pixelFormat, kPixelFormatIndexed);
    EXPECT_EQ(indexed.pixels, (Bytes{1, 2, 5, 6}));
    const Picture rgb = Read(file, true);
    EXPECT_EQ(rgb.pixels, (Bytes{255, 0, 0, 0, 255, 0, 250, 128, 7, 1, 2, 3}));
  }
}

// Packed rows of 1, 2 and 4 bits, leftmost pixel in the highest bits, each
// row padded to four bytes.
TEST(BmpVariantsTest, PackedPaletteRowsOfEveryWidth) {
  for (const std::uint16_t bits : {1, 2, 4}) {
    for (std::int32_t width = 1; width <= 9; ++width) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      const std::uint32_t values = 1u << bits;
      Bytes expected;
      Bytes data;
      for (std::int32_t y = 1; y >= 0; --y) {  // bottom row stored first
        Bytes row((static_cast<std::size_t>(width) * bits + 31) / 32 * 4, 0);
        for (std::int32_t x = 0; x < width; ++x) {
          const std::uint32_t value = (static_cast<std::uint32_t>(x * 3 + y * 5 + 1)) % values;
          const std::size_t bit = static_cast<std::size_t>(x) * bits;
          row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | value << (8 - bits - bit % 8));
        }
        data.insert(data.end(), row.begin(), row.end());
      }
      for (std::int32_t y = 0; y < 2; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
          expected.push_back(static_cast<std::uint8_t>((x * 3 + y * 5 + 1) % values));
        }
      }
      RawBmp raw;
      raw.width = width;
      raw.height = 2;
      raw.bits = bits;
      raw.palette.assign(kPalette.begin(), kPalette.begin() + std::min<std::size_t>(values, 8));
      raw.palette.resize(values);
      raw.data = data;
      EXPECT_EQ(Read(Build(raw)).pixels, expected);
    }
  }
}

struct RleCase {
  const char* name;
  std::uint16_t bits;
  Bytes coded;
  Bytes pixels;  // 4 x 3, top row first
};

// Runs, literal groups with their padding, end of line, deltas, an early
// end of picture (the rest stays index 0), pixels in a stored row's padding
// (dropped) and ends of line after the last row.
TEST(BmpVariantsTest, RunLengthCodes) {
  const RleCase cases[] = {
      {"RLE8 runs and ends of line", 8,
       {4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 1, 4, 3, 5, 0, 1},
       {4, 5, 5, 5, 2, 2, 3, 3, 1, 1, 1, 1}},
      {"RLE8 odd literal group with padding", 8,
       {0, 3, 7, 6, 5, 0, 1, 1, 0, 0, 0, 4, 1, 2, 3, 4, 0, 1},
       {0, 0, 0, 0, 1, 2, 3, 4, 7, 6, 5, 1}},
      {"RLE8 delta and early end", 8,
       {1, 7, 0, 2, 2, 1, 1, 6, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 6, 7, 0, 0, 0}},
      {"RLE4 run into the row padding is cut", 4,
       {6, 0x12, 0, 0, 0, 0, 2, 0x33, 0, 1},
       {3, 3, 0, 0, 0, 0, 0, 0, 1, 2, 1, 2}},
      {"RLE8 ends of line after the last row", 8,
       {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0, 0, 0, 0, 1},
       {3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}},
      {"RLE4 alternating run and literal nibbles", 4,
       {4, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 0, 3, 0x77, 0, 1},
       {7, 7, 7, 0, 4, 5, 6, 0, 1, 2, 1, 2}},
      {"RLE4 literal of four keeps two bytes, no padding", 4,
       {0, 4, 0x12, 0x34, 0, 0, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawBmp raw;
    raw.width = 4;
    raw.height = 3;
    raw.bits = c.bits;
    raw.compression = c.bits == 8 ? 1 : 2;
    raw.palette = kPalette;
    raw.coloursUsed = 8;
    raw.data = c.coded;
    EXPECT_EQ(Read(Build(raw)).pixels, c.pixels);
  }
}

struct FieldCase {
  const char* name;
  std::uint16_t bits;
  std::uint32_t compression;
  std::vector<std::uint32_t> masks;  // red, green, blue (and alpha)
  std::uint32_t pixel;
  Bytes rgb;
  std::uint16_t value1555;
};

// Each field scaled to 8 bits as (v * 255 + max / 2) / max; with "1555",
// 5-bit fields pass through and 6-bit fields keep their top bits.
TEST(BmpVariantsTest, BitFieldsOfAnyWidthAndPlace) {
  const FieldCase cases[] = {
      {"5-6-5", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF7DF, {247, 251, 255}, 0xFBFF},
      {"5-5-5 without bit fields", 16, 0, {}, 0x7BDE, {247, 247, 247}, 0xFBDE},
      {"4-4-4 with alpha, compression 6", 16, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x1F82,
       {255, 136, 34}, 0},
      {"10-10-10", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, 3u << 20 | 1023u << 10 | 2,
       {1, 255, 0}, 0},
      {"1-bit fields", 16, 3, {0x4, 0x2, 0x1}, 0x5, {255, 0, 255}, 0},
      {"zero mask reads 0", 32, 3, {0, 0xFF00, 0xFF}, 0xFFFFFF, {0, 255, 255}, 0},
      {"whole 32-bit field", 32, 3, {0xFFFFFFFF, 0, 0}, 0x80000000, {128, 0, 0}, 0},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawBmp raw;
    raw.bits = c.bits;
    raw.compression = c.compression;
    raw.masksAfterHeader = c.masks;
    raw.data = {static_cast<std::uint8_t>(c.pixel), static_cast<std::uint8_t>(c.pixel >> 8),
                static_cast<std::uint8_t>(c.pixel >> 16), static_cast<std::uint8_t>(c.pixel >> 24)};
    const Picture rgb = Read(Build(raw));
    EXPECT_EQ(rgb.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(rgb.pixels, c.rgb);
    const Picture flagged = Read(Build(raw), true);
    if (c.value1555 == 0) {
      // No field of five or six bits: the 24-bit values finish later.
      EXPECT_EQ(flagged.pixels, c.rgb);
      continue;
    }
    ASSERT_EQ(flagged.pixelFormat, kPixelFormat16Bit);
    EXPECT_EQ(flagged.pixels[0] | flagged.pixels[1] << 8, c.value1555);
  }
}

// The masks of a 56-byte header lie inside it; the colour table follows it.
TEST(BmpVariantsTest, MasksInsideTheHeaderDoNotMoveThePixels) {
  RawBmp raw;
  raw.headerSize = 56;
  raw.bits = 32;
  raw.compression = 3;
  raw.masksInHeader = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
  raw.data = {10, 20, 30, 40};
  EXPECT_EQ(Read(Build(raw)).pixels, (Bytes{10, 20, 30}));
}

// An offset inside the colour table cuts it there: the entries beyond are
// pixel bytes, not colours.
TEST(BmpVariantsTest, ThePaletteEndsWhereThePixelsStart) {
  RawBmp raw;
  raw.palette = kPalette;
  raw.coloursUsed = 8;
  raw.data = {2, 0, 0, 0};
  Bytes file = Build(raw);
  PutLe32(file, 10, 54 + 3 * 4);  // three entries before the pixels
  file.insert(file.begin() + 54 + 12, {2, 0, 0, 0});
  EXPECT_EQ(Read(file, true).pixels, (Bytes{0, 255, 0}));
  file[54 + 12] = 3;
  EXPECT_EQ(Refusal(file, true).message(), "pixel index beyond the colour table");
}

struct BmpRefusal {
  const char* name;
  Bytes file;
  std::string message;
  ErrorKind kind;
  bool flag1555 = false;
};

Bytes With(std::uint16_t bits, std::uint32_t compression, Bytes data = {0, 0, 0, 0},
           const std::function<void(RawBmp&)>& change = [](RawBmp&) {}) {
  RawBmp raw;
  raw.bits = bits;
  raw.compression = compression;
  raw.palette = kPalette;
  raw.data = std::move(data);
  change(raw);
  return Build(raw);
}

// A run-length coded picture 5 wide: stored rows of 8 pixels with padding.
Bytes Rle(std::uint16_t bits, Bytes data, std::int32_t rows = 3) {
  return With(bits, bits == 8 ? 1 : 2, std::move(data), [rows](RawBmp& raw) {
    raw.width = 5;
    raw.height = rows;
  });
}

Bytes Damaged(const BmpSpec& layout, const std::function<void(Bytes&)>& damage) {
  Bytes file = MakeBmp(layout);
  damage(file);
  return file;
}

// A 2 x 2 picture whose header gives another size.
Bytes HeaderSize(std::uint32_t width, std::uint32_t height) {
  return Damaged(RgbSpec(2, 2), [&](Bytes& f) {
    PutLe32(f, kBmpInfoHeaderOffset + 4, width);
    PutLe32(f, kBmpInfoHeaderOffset + 8, height);
  });
}

// Each refusal with its message and kind; the picture read before stays as
// it was.
TEST(BmpVariantsTest, RefusalsNameWhatWasFound) {
  constexpr std::size_t kInfo = kBmpInfoHeaderOffset;
  BmpSpec bitFields = RgbSpec(2, 2, 32);
  bitFields.bitFields = true;
  BmpSpec tableCut = IndexedSpec(2, 2);
  tableCut.coloursUsed = 0;  // 256 entries announced, 6 present
  BmpSpec indexBeyond = IndexedSpec(2, 2, 4);
  indexBeyond.pixels[3] = 4;
  const ErrorKind kDamaged = ErrorKind::kDamaged;
  const ErrorKind kUnsupported = ErrorKind::kUnsupported;
  const ErrorKind kTooLarge = ErrorKind::kTooLarge;
  const BmpRefusal cases[] = {
      {"empty", {}, kNotABitmapMessage, kUnsupported},
      {"signature", Damaged(RgbSpec(2, 2), [](Bytes& f) { f[1] = 'A'; }), kNotABitmapMessage,
       kUnsupported},
      {"header cut", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40},
       "the BMP header is cut short", kDamaged},
      {"header size beyond the file",
       Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo, 5000); }),
       "the BMP header is cut short", kDamaged},
      {"header of 80 bytes", Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo, 80); }),
       "unsupported BMP header of 80 bytes", kUnsupported},
      {"64 bits", With(64, 0), "64 bits per pixel are not supported", kUnsupported},
      {"3 bits", Damaged(IndexedSpec(2, 2), [](Bytes& f) { PutLe16(f, kInfo + 14, 3); }),
       "3 bits per pixel are not supported", kUnsupported},
      {"0 bits", Damaged(IndexedSpec(2, 2), [](Bytes& f) { PutLe16(f, kInfo + 14, 0); }),
       "0 bits per pixel are not supported", kUnsupported, true},
      {"JPEG", With(24, 4), "compression 4 (an embedded JPEG picture) is not supported",
       kUnsupported},
      {"PNG", With(24, 5), "compression 5 (an embedded PNG picture) is not supported",
       kUnsupported},
      {"CMYK", With(8, 11), "compression 11 (CMYK) is not supported", kUnsupported},
      {"OS/2 Huffman 1D", With(1, 3, {0, 0, 0, 0}, [](RawBmp& r) { r.headerSize = 64; }),
       "compression 3 (Huffman 1D) is not supported", kUnsupported},
      {"OS/2 RLE24", With(24, 4, {0, 0, 0, 0}, [](RawBmp& r) { r.headerSize = 64; }),
       "compression 4 (RLE24) is not supported", kUnsupported},
      {"RLE8 on 24 bits", Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 16, 1); }),
       "compression 1 (RLE8) needs 8 bits per pixel, not 24", kDamaged},
      {"RLE4 on 8 bits", With(8, 2), "compression 2 (RLE4) needs 4 bits per pixel, not 8",
       kDamaged},
      {"top-down RLE", With(8, 1, {1, 1, 0, 1}, [](RawBmp& r) { r.height = -1; }),
       "a top-down picture can't be run-length coded", kDamaged},
      {"RLE cut off", With(8, 1, {2, 1, 0}),
       "the run-length data end before the end-of-picture code", kDamaged},
      {"RLE literal cut off", With(8, 1, {0, 5, 1, 2}),
       "the run-length data end before the end-of-picture code", kDamaged},
      {"RLE8 run past the stored row", Rle(8, {9, 1, 0, 1}),
       "the run-length data write past the end of row 2 (pixel 8)", kDamaged},
      {"RLE8 literal past the stored row",
       Rle(8, {0, 0, 0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1}),
       "the run-length data write past the end of row 1 (pixel 8)", kDamaged},
      {"RLE4 run past the stored row", Rle(4, {4, 0x11, 5, 0x22, 0, 1}),
       "the run-length data write past the end of row 2 (pixel 8)", kDamaged},
      {"RLE delta past the row", Rle(8, {2, 1, 0, 2, 7, 0, 0, 1}),
       "a run-length delta of 7 right and 0 up moves past the picture from row 2 (pixel 2)",
       kDamaged},
      {"RLE delta above the top", Rle(8, {0, 2, 0, 4, 0, 1}),
       "a run-length delta of 0 right and 4 up moves past the picture from row 2 (pixel 0)",
       kDamaged},
      {"RLE rows beyond the height", Rle(8, {5, 1, 0, 0, 2, 1, 0, 1}, 1),
       "the run-length data write above the top row", kDamaged},
      {"RLE delta beyond the height", Rle(8, {5, 1, 0, 0, 0, 2, 9, 0, 0, 1}, 1),
       "the run-length data write above the top row", kDamaged},
      {"bit fields on 24 bits",
       Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, kInfo + 16, 3); }),
       "compression 3 (bit fields) needs 16 or 32 bits per pixel, not 24", kDamaged},
      {"zero planes", With(8, 0, {0, 0, 0, 0}, [](RawBmp& r) { r.planes = 0; }),
       "the BMP header gives 0 colour planes", kDamaged},
      {"mask of two runs", Damaged(bitFields, [](Bytes& f) { PutLe32(f, 54, 0x00FF00FF); }),
       "the red mask 0x00FF00FF is not one run of bits inside a 32-bit pixel", kDamaged},
      {"mask beyond 16 bits",
       With(16, 3, {0, 0, 0, 0}, [](RawBmp& r) { r.masksAfterHeader = {0x1F0000, 0x7E0, 0x1F}; }),
       "the red mask 0x001F0000 is not one run of bits inside a 16-bit pixel", kDamaged},
      {"masks cut", Damaged(bitFields, [](Bytes& f) { f.resize(58); }),
       "the BMP colour masks are cut short", kDamaged},
      {"alpha masks cut", With(16, 6, {}, [](RawBmp& r) { r.palette.clear(); }),
       "the BMP colour masks are cut short", kDamaged},
      {"width 0", HeaderSize(0, 2), "invalid picture size: 0 x 2 pixels", kDamaged},
      {"width -3", HeaderSize(static_cast<std::uint32_t>(-3), 2),
       "invalid picture size: -3 x 2 pixels", kDamaged},
      {"height 0", HeaderSize(2, 0), "invalid picture size: 2 x 0 pixels", kDamaged},
      {"40000 wide", HeaderSize(40000, 10), "picture too large: 40000 x 10 pixels", kTooLarge},
      {"most negative height", HeaderSize(2, 0x80000000u),
       "picture too large: 2 x 2147483648 pixels", kTooLarge},
      {"over 256 MiB", HeaderSize(20000, 20000), "picture too large: 20000 x 20000 pixels",
       kTooLarge},
      {"offset 0", With(24, 0, {0, 0, 0, 0}, [](RawBmp& r) { r.pixelOffset = 0; }),
       "the pixel data offset 0 points into the BMP headers", kDamaged},
      {"offset beyond the end", Damaged(RgbSpec(2, 2), [](Bytes& f) { PutLe32(f, 10, 100000); }),
       "the pixel data offset lies beyond the end of the file", kDamaged},
      {"rows cut", Damaged(RgbSpec(4, 2), [](Bytes& f) { f.pop_back(); }),
       "the pixel data end before the last row", kDamaged},
      {"tall header, few rows", Damaged(RgbSpec(4, 2), [](Bytes& f) { PutLe32(f, kInfo + 8, 3); }),
       "the pixel data end before the last row", kDamaged},
      {"table cut", MakeBmp(tableCut), "the colour table runs past the end of the file", kDamaged,
       true},
      {"index beyond the table", MakeBmp(indexBeyond), "pixel index beyond the colour table",
       kDamaged, true},
  };
  const BmpSpec earlier = RgbSpec(3, 1);
  for (const BmpRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture = Read(MakeBmp(earlier));
    const Status status = ReadBmp(c.file, ReadOptions{c.flag1555}, picture);
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(status.kind(), c.kind);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.pixels, earlier.pixels);
  }
}

test::PlainPpm DumpOf(const std::string& name) {
  return test::ReadPlainPpm(test::TestDataPath(name + ".expected.ppm"));
}

// Files of other tools against the pixels the tools read from them:
// ImageMagick and Netpbm writers, and variants written byte by byte.
// Palette pictures are read twice: indices through our 6-bit palette, and
// with "1555" red, green, blue through the colour table. ImageMagick pads
// each run-length coded row to a multiple of four pixels; the padding
// pixels lie in the stored row's padding and are dropped.
TEST(BmpVariantsTest, ReadsEveryVariantOfOtherTools) {
  for (const char* name :
       {"bmp1_13x6", "bmp2_7x5", "bmp4_13x6", "bmp4_7x5", "bmp4_rle_7x5", "bmp8_7x5",
        "bmp8_13x6", "bmp8_rle_13x6", "bmp8_rle_delta_7x5", "bmp8_os2_7x5", "bmp8_topdown_7x5",
        "bmp24_7x5", "bmp24_13x6", "bmp24_os2_13x6", "bmp24_os2v2_7x5", "bmp16_4444_13x6",
        "bmp32_13x6", "bmp32_alpha_header_7x5"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected = DumpOf(name);
    ASSERT_GT(expected.width, 0);
    const Bytes file = test::ReadBytes(test::TestDataPath(std::string(name) + ".bmp"));
    Picture picture = Read(file);
    EXPECT_EQ(picture.width, expected.width);
    EXPECT_EQ(picture.height, expected.height);
    if (picture.pixelFormat == kPixelFormatIndexed) {
      test::ExpectPaletteColours(picture, expected);
      picture = Read(file, true);
    }
    EXPECT_EQ(picture.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(picture.pixels, expected.rgb);
  }
}

// Fields of five and six bits. ImageMagick widens them by repeating their
// top bits, Netpbm by truncating, we by rounding, so the 8-bit values may
// differ by one; the fields themselves, which "1555" keeps, agree exactly:
// they are the top five bits of ImageMagick's values.
TEST(BmpVariantsTest, FiveAndSixBitFieldsOfOtherTools) {
  for (const char* name : {"bmp16_565_13x6", "bmp16_555_13x6", "bmp16_1555_13x6",
                           "bmp16_v2header_565_7x5", "bmp16_plain555_7x5"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected = DumpOf(name);
    ASSERT_GT(expected.width, 0);
    const Bytes file = test::ReadBytes(test::TestDataPath(std::string(name) + ".bmp"));
    const Picture rgb = Read(file);
    ASSERT_EQ(rgb.pixels.size(), expected.rgb.size());
    for (std::size_t i = 0; i < rgb.pixels.size(); ++i) {
      EXPECT_LE(std::abs(rgb.pixels[i] - expected.rgb[i]), 1) << i;
    }
    const Picture packed = Read(file, true);
    ASSERT_EQ(packed.pixelFormat, kPixelFormat16Bit);
    for (std::size_t i = 0; i < packed.pixels.size() / 2; ++i) {
      const std::uint8_t* tool = &expected.rgb[3 * i];
      const int value = 0x8000 | (tool[0] >> 3) << 10 | (tool[1] >> 3) << 5 | tool[2] >> 3;
      EXPECT_EQ(packed.pixels[2 * i] | packed.pixels[2 * i + 1] << 8, value) << i;
    }
  }
}

}  // namespace
}  // namespace krelt
