#include "image/pcx_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::MakePcx;
using test::MakePcxWithData;
using test::PcxSpec;
using test::PutLe16;
using test::Rgb;

PcxSpec PlanarSpec(int width, int height, std::uint8_t planes) {
  PcxSpec layout;
  layout.bitsPerPixel = 1;
  layout.planes = planes;
  layout.width = width;
  layout.height = height;
  for (int k = 0; k < 16; ++k) {
    layout.headerPalette[k] = {static_cast<std::uint8_t>(16 * k),
                             static_cast<std::uint8_t>(255 - 16 * k),
                             static_cast<std::uint8_t>(4 * k)};
  }
  for (int i = 0; i < width * height; ++i) {
    layout.pixels.push_back(static_cast<std::uint8_t>((i * 7 + i / 3) % (1 << planes)));
  }
  return layout;
}

PcxSpec IndexedSpec(int width, int height) {
  PcxSpec layout;
  layout.width = width;
  layout.height = height;
  for (int k = 0; k < 256; ++k) {
    layout.palette.push_back({static_cast<std::uint8_t>(k),
                            static_cast<std::uint8_t>(255 - k),
                            static_cast<std::uint8_t>(k * 3)});
  }
  for (int i = 0; i < width * height; ++i) {
    // Runs of equal values and values of 192 and more.
    layout.pixels.push_back(static_cast<std::uint8_t>(i % 5 == 0 ? 200 + i : i / 4));
  }
  return layout;
}

PcxSpec RgbSpec(int width, int height) {
  PcxSpec layout;
  layout.planes = 3;
  layout.width = width;
  layout.height = height;
  for (int i = 0; i < 3 * width * height; ++i) {
    layout.pixels.push_back(static_cast<std::uint8_t>(i < 9 ? 0xC7 : 31 * i));
  }
  return layout;
}

TEST(PcxImageTest, Reads16ColourPicturesOfOneToFourPlanes) {
  for (std::uint8_t planes = 1; planes <= 4; ++planes) {
    for (int width : {1, 8, 10, 13}) {
      SCOPED_TRACE(std::to_string(planes) + " planes, width " + std::to_string(width));
      PcxSpec layout = PlanarSpec(width, 3, planes);
      layout.xmin = 100;
      layout.ymin = 7;
      PcxImage image;
      ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
      EXPECT_EQ(image.pixelFormat, kPixelFormat16Colour);
      EXPECT_EQ(image.width, width);
      EXPECT_EQ(image.height, 3);
      EXPECT_EQ(image.pixels, layout.pixels);
      EXPECT_EQ(image.palette[3 * 15], 240 >> 2);
      EXPECT_EQ(image.palette[3 * 15 + 1], 15 >> 2);
    }
  }
}

TEST(PcxImageTest, MergesThePlanesOfEachPixel) {
  // One 8-pixel row, 4 planes: pixel 0 set in planes 0 and 2 only gives 5.
  // Pixel 7 is set in plane 3 only, pixel 6 in planes 0 and 1.
  PcxSpec layout = PlanarSpec(8, 1, 4);
  layout.bytesPerLine = 1;
  const Bytes coded = {0x82, 0x02, 0x80, 0x01};
  PcxImage image;
  ASSERT_TRUE(image.OpenFromBytes(MakePcxWithData(layout, coded)).ok());
  EXPECT_EQ(image.pixels, (Bytes{5, 0, 0, 0, 0, 0, 3, 8}));
}

TEST(PcxImageTest, Reads256ColourPicturesAndDropsScanLinePadding) {
  for (int width : {1, 3, 4, 7}) {
    for (std::uint16_t extra : {0, 1, 3}) {
      SCOPED_TRACE("width " + std::to_string(width) + " + " + std::to_string(extra));
      PcxSpec layout = IndexedSpec(width, 4);
      layout.bytesPerLine = static_cast<std::uint16_t>(width + extra);
      PcxImage image;
      ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
      EXPECT_EQ(image.pixelFormat, kPixelFormatIndexed);
      EXPECT_EQ(image.width, width);
      EXPECT_EQ(image.height, 4);
      EXPECT_EQ(image.pixels, layout.pixels);
    }
  }
}

TEST(PcxImageTest, Reads24BitPicturesWithTheBytesPerLineAsWidth) {
  for (int width : {1, 2, 3, 6}) {
    SCOPED_TRACE("width " + std::to_string(width));
    const PcxSpec layout = RgbSpec(width, 3);
    const int bytesPerLine = test::PcxBytesPerLine(layout);
    PcxImage image;
    ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
    EXPECT_EQ(image.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(image.width, bytesPerLine);
    ASSERT_EQ(image.pixels.size(), 3u * bytesPerLine * 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < bytesPerLine; ++x) {
        for (int c = 0; c < 3; ++c) {
          const std::uint8_t expected =
              x < width ? layout.pixels[3 * (y * width + x) + c] : 0;
          EXPECT_EQ(image.pixels[3 * (y * bytesPerLine + x) + c], expected)
              << x << "," << y << "," << c;
        }
      }
    }
  }
}

TEST(PcxImageTest, RunLengthCodeEdgeCases) {
  struct Case {
    const char* name;
    PcxSpec layout;
    Bytes coded;
    Bytes pixels;
  };
  PcxSpec indexed4 = IndexedSpec(4, 1);
  PcxSpec indexed2x2 = IndexedSpec(2, 2);
  PcxSpec twoPlanes = PlanarSpec(8, 2, 2);
  twoPlanes.bytesPerLine = 1;
  PcxSpec rgb = RgbSpec(2, 1);
  const Case cases[] = {
      {"empty run, single high value, run of three", indexed4,
       {0xC0, 0x07, 0xC1, 0xC5, 0xC3, 0x10}, {0xC5, 0x10, 0x10, 0x10}},
      {"256-colour run crossing the scan line end continues on the next", indexed2x2,
       {0xC3, 0x11, 0x22, 0x33}, {0x11, 0x11, 0x11, 0x22}},
      {"16-colour run crossing plane and scan lines", twoPlanes,
       {0xC3, 0xFF, 0x0F}, {3, 3, 3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 3, 3, 3, 3}},
      {"24-bit run across the planes, last run cut", rgb,
       {0xC3, 0x40, 0xC9, 0x41}, {0x40, 0x40, 0x41, 0x40, 0x41, 0x41}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PcxImage image;
    ASSERT_TRUE(image.OpenFromBytes(MakePcxWithData(c.layout, c.coded)).ok());
    EXPECT_EQ(image.pixels, c.pixels);
  }
}

TEST(PcxImageTest, ScalesPaletteBytesToSixBits) {
  PcxSpec layout = IndexedSpec(2, 1);
  layout.palette[0] = {255, 4, 3};
  PcxImage image;
  ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
  EXPECT_EQ(image.palette[0], 63);
  EXPECT_EQ(image.palette[1], 1);
  EXPECT_EQ(image.palette[2], 0);
  EXPECT_EQ(image.palette16[0], 0xF820);  // palette16 rebuilt
}

TEST(PcxImageTest, SixteenColourPicturesSetOnlyTheFirstSixteenEntries) {
  PcxImage image;
  ASSERT_TRUE(image.OpenFromBytes(MakePcx(IndexedSpec(2, 1))).ok());
  const std::uint8_t entry20 = image.palette[3 * 20];
  ASSERT_NE(entry20, 0);
  ASSERT_TRUE(image.OpenFromBytes(MakePcx(PlanarSpec(8, 1, 4))).ok());
  EXPECT_EQ(image.palette[3 * 20], entry20);
  EXPECT_EQ(image.palette[3 * 1], 16 >> 2);
  EXPECT_EQ(image.palette16[1], 0x1760);  // rebuilt from (4, 59, 1)
}

Bytes Damaged(const Bytes& file, const std::function<void(Bytes&)>& damage) {
  Bytes copy = file;
  damage(copy);
  return copy;
}

TEST(PcxImageTest, RefusesMalformedFilesAndKeepsTheEarlierPicture) {
  const Bytes indexed = MakePcx(IndexedSpec(4, 3));
  const Bytes planar = MakePcx(PlanarSpec(16, 3, 4));
  const Bytes rgb = MakePcx(RgbSpec(4, 3));
  struct Case {
    const char* name;
    Bytes file;
    std::string message;
  };
  const Case cases[] = {
      {"empty", {}, "not a PCX picture"},
      {"manufacturer", Damaged(indexed, [](Bytes& f) { f[0] = 0x0B; }), "not a PCX picture"},
      {"encoding", Damaged(indexed, [](Bytes& f) { f[2] = 0; }), "not a PCX picture"},
      {"header cut", Bytes(indexed.begin(), indexed.begin() + 100), "the PCX header is cut short"},
      {"4 bits in 2 planes", Damaged(indexed, [](Bytes& f) { f[3] = 4; f[65] = 2; }),
       "unsupported PCX variant: 4 bits per pixel, 2 planes"},
      {"8 bits in 2 planes", Damaged(indexed, [](Bytes& f) { f[65] = 2; }),
       "unsupported PCX variant: 8 bits per pixel, 2 planes"},
      {"1 bit in 0 planes", Damaged(planar, [](Bytes& f) { f[65] = 0; }),
       "unsupported PCX variant: 1 bit per pixel, 0 planes"},
      {"1 bit in 5 planes", Damaged(planar, [](Bytes& f) { f[65] = 5; }),
       "unsupported PCX variant: 1 bit per pixel, 5 planes"},
      {"xmax below xmin", Damaged(indexed, [](Bytes& f) { PutLe16(f, 4, 9); PutLe16(f, 8, 5); }),
       "invalid PCX window: x 9..5, y 0..2"},
      {"ymax below ymin", Damaged(rgb, [](Bytes& f) { PutLe16(f, 6, 3); }),
       "invalid PCX window: x 0..3, y 3..2"},
      {"bytes per line below the width", Damaged(indexed, [](Bytes& f) { PutLe16(f, 66, 3); }),
       "bytes per line (3) too small for a width of 4 pixels"},
      {"16-colour bytes per line below the width",
       Damaged(planar, [](Bytes& f) { PutLe16(f, 66, 1); }),
       "bytes per line (1) too small for a width of 16 pixels"},
      {"24-bit bytes per line 0", Damaged(rgb, [](Bytes& f) { PutLe16(f, 66, 0); }),
       "bytes per line is 0"},
      {"24-bit 40000 wide", Damaged(rgb, [](Bytes& f) { PutLe16(f, 66, 40000); PutLe16(f, 10, 9); }),
       "picture too large: 40000 x 10 pixels"},
      {"window of 65536 columns", Damaged(planar, [](Bytes& f) { PutLe16(f, 8, 0xFFFF); PutLe16(f, 66, 0x2000); }),
       "picture too large: 65536 x 3 pixels"},
      {"16-colour scan lines over 256 MiB",
       Damaged(planar, [](Bytes& f) { PutLe16(f, 66, 65535); PutLe16(f, 10, 1999); }),
       "the PCX scan lines are too large: 524280000 bytes"},
      {"256-colour data end early", Damaged(indexed, [](Bytes& f) { PutLe16(f, 10, 30000); }),
       "the run-length data are damaged or truncated"},
      {"16-colour data end early", Bytes(planar.begin(), planar.end() - 1),
       "the run-length data are damaged or truncated"},
      {"24-bit data end early", Bytes(rgb.begin(), rgb.end() - 1),
       "the run-length data are damaged or truncated"},
      {"run without its value", MakePcxWithData(PlanarSpec(8, 1, 1), Bytes{0x05, 0xC1}),
       "the run-length data are damaged or truncated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PcxImage image;
    const PcxSpec earlier = IndexedSpec(3, 2);
    ASSERT_TRUE(image.OpenFromBytes(MakePcx(earlier)).ok());
    const auto earlierHeader = image.header;
    const auto earlierPalette = image.palette;
    const Status status = image.OpenFromBytes(c.file);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(image.pixels, earlier.pixels);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixelFormat, kPixelFormatIndexed);
    EXPECT_EQ(image.header, earlierHeader);
    EXPECT_EQ(image.palette, earlierPalette);
  }
}

TEST(PcxImageTest, SignatureNeedsManufacturerAndEncoding) {
  EXPECT_TRUE(HasPcxSignature(Bytes{0x0A, 5, 1}));
  EXPECT_TRUE(HasPcxSignature(Bytes{0x0A, 0, 1, 8}));
  EXPECT_FALSE(HasPcxSignature(Bytes{0x0A, 5}));
  EXPECT_FALSE(HasPcxSignature(Bytes{0x0A, 5, 0}));
  EXPECT_FALSE(HasPcxSignature(Bytes{'B', 'M', 1}));
}

std::uint16_t ValueAt(const PcxImage& image, std::size_t i) {
  return static_cast<std::uint16_t>(image.pixels[2 * i] | (image.pixels[2 * i + 1] << 8));
}

TEST(PcxImageTest, ConvertRgbTo16BitRoundsWithBit15Clear) {
  struct Case {
    std::uint8_t r, g, b;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {255, 255, 255, 0x7FFF}, {8, 8, 8, 0x0421},  {0, 0, 0, 0x0000},
      {4, 0, 5, 0x0001},       {253, 0, 0, 0x7C00}, {0, 252, 0, 0x03E0},
      {0, 0, 244, 0x001E},
  };
  for (const Case& c : cases) {
    PcxSpec layout = RgbSpec(2, 1);
    layout.pixels = {c.r, c.g, c.b, c.r, c.g, c.b};
    PcxImage image;
    ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
    image.ConvertRgbTo16Bit();
    EXPECT_EQ(image.pixelFormat, kPixelFormat16Bit);
    ASSERT_EQ(image.pixels.size(), 4u);
    EXPECT_EQ(ValueAt(image, 0), c.expected) << int(c.r) << "," << int(c.g) << "," << int(c.b);
  }
}

TEST(PcxImageTest, ConvertIndexedTo16BitGoesThroughThePalette) {
  PcxSpec layout = IndexedSpec(4, 1);
  layout.palette[0] = {252, 252, 252};  // 63, 63, 63 once scaled
  layout.palette[1] = {248, 0, 0};      // 62, 0, 0
  layout.palette[2] = {0, 0, 0};
  layout.palette[3] = {0, 8, 255};      // 0, 2, 63
  layout.pixels = {0, 1, 2, 3};
  PcxImage image;
  ASSERT_TRUE(image.OpenFromBytes(MakePcx(layout)).ok());
  image.ConvertIndexedTo16Bit();
  EXPECT_EQ(image.pixelFormat, kPixelFormat16Bit);
  ASSERT_EQ(image.pixels.size(), 8u);
  EXPECT_EQ(ValueAt(image, 0), 0x7FFF);
  EXPECT_EQ(ValueAt(image, 1), 0x7C00);
  EXPECT_EQ(ValueAt(image, 2), 0x0000);
  EXPECT_EQ(ValueAt(image, 3), 0x003F);
}

TEST(PcxImageTest, ConversionsActOnlyOnTheirOwnFormat) {
  for (const Bytes& file : {MakePcx(PlanarSpec(8, 2, 4)), MakePcx(IndexedSpec(3, 2)),
                            MakePcx(RgbSpec(2, 2))}) {
    PcxImage image;
    ASSERT_TRUE(image.OpenFromBytes(file).ok());
    const PixelFormat format = image.pixelFormat;
    const Bytes pixels = image.pixels;
    if (format != kPixelFormatRgb) image.ConvertRgbTo16Bit();
    if (format != kPixelFormatIndexed) image.ConvertIndexedTo16Bit();
    EXPECT_EQ(image.pixelFormat, format);
    EXPECT_EQ(image.pixels, pixels);
  }
}

TEST(PcxImageTest, OpenNamesTheFileInItsMessages) {
  const test::ScratchDirectory directory("krelt_pcx_test");
  PcxImage image;
  EXPECT_EQ(image.Open(directory.Write("Logo.pcx", {'B', 'M'})).message(),
            "Logo.pcx: not a PCX picture");
  EXPECT_EQ(image.Open(directory.path() / "Gone.pcx").message(),
            "can't open '" + PathToUtf8(directory.path() / "Gone.pcx") +
                "': no such file");
  EXPECT_TRUE(image.Open(directory.Write("Good.pcx", MakePcx(RgbSpec(2, 2)))).ok());
  EXPECT_EQ(image.width, 2);
}

// Pictures written by ImageMagick and Netpbm against Netpbm's own reading.
// Indexed pixels are compared through our 6-bit palette.
TEST(PcxImageTest, ReadsPicturesOfOtherTools) {
  for (const char* name : {"pcx16_3planes_7x5", "pcx16_4planes_13x6", "pcx2_1plane_13x6",
                           "pcx256_7x5", "pcx256_13x6", "pcx24_7x5", "pcx24_13x6"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::TestDataPath(std::string(name) + ".expected.ppm"));
    ASSERT_GT(expected.width, 0);
    PcxImage image;
    ASSERT_TRUE(image.Open(test::TestDataPath(std::string(name) + ".pcx")).ok());
    ASSERT_EQ(image.width, expected.width);  // these files have no padding
    ASSERT_EQ(image.height, expected.height);
    for (std::size_t i = 0; i < static_cast<std::size_t>(image.width * image.height); ++i) {
      for (std::size_t c = 0; c < 3; ++c) {
        const std::uint8_t tool = expected.rgb[3 * i + c];
        if (image.pixelFormat == kPixelFormatRgb) {
          EXPECT_EQ(image.pixels[3 * i + c], tool) << i;
        } else {
          EXPECT_EQ(image.palette[3 * image.pixels[i] + c], tool >> 2) << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace krelt
