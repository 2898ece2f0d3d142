// ReadPcx on every PCX variant: 1 bit in 1 to 4 planes, packed 2 and 4
// bits, 256 colours and 24 bits, runs across scan lines, the palette
// search, refusals and the pictures of other tools.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/pcx_image.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::MakePcx;
using test::MakePcxWithData;
using test::PcxSpec;
using test::PutLe16;

Status ReadFile(const std::string& name, bool flag1555, Picture& picture) {
  return ReadPcx(test::ReadBytes(test::TestDataPath(name)), ReadOptions{flag1555}, picture);
}

Picture Read(const Bytes& file, bool flag1555 = false) {
  return test::ReadAccepted(ReadPcx, file, flag1555);
}

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

TEST(PcxVariantsTest, Reads16ColourPicturesOfOneToFourPlanes) {
  for (std::uint8_t planes = 1; planes <= 4; ++planes) {
    for (int width : {1, 8, 10, 13}) {
      SCOPED_TRACE(std::to_string(planes) + " planes, width " + std::to_string(width));
      PcxSpec layout = PlanarSpec(width, 3, planes);
      layout.xmin = 100;
      layout.ymin = 7;
      const Picture picture = Read(MakePcx(layout));
      EXPECT_EQ(picture.pixelFormat, kPixelFormat16Colour);
      EXPECT_EQ(picture.width, width);
      EXPECT_EQ(picture.height, 3);
      EXPECT_EQ(picture.pixels, layout.pixels);
      EXPECT_EQ(picture.palette[3 * 15], 240 >> 2);
      EXPECT_EQ(picture.palette[3 * 15 + 1], 15 >> 2);
    }
  }
}

TEST(PcxVariantsTest, MergesThePlanesOfEachPixel) {
  // One 8-pixel row, 4 planes: pixel 0 set in planes 0 and 2 only gives 5.
  // Pixel 7 is set in plane 3 only, pixel 6 in planes 0 and 1.
  PcxSpec layout = PlanarSpec(8, 1, 4);
  layout.bytesPerLine = 1;
  const Bytes coded = {0x82, 0x02, 0x80, 0x01};
  EXPECT_EQ(Read(MakePcxWithData(layout, coded)).pixels, (Bytes{5, 0, 0, 0, 0, 0, 3, 8}));
}

TEST(PcxVariantsTest, Reads256ColourPicturesAndDropsScanLinePadding) {
  for (int width : {1, 3, 4, 7}) {
    for (std::uint16_t extra : {0, 1, 3}) {
      SCOPED_TRACE("width " + std::to_string(width) + " + " + std::to_string(extra));
      PcxSpec layout = IndexedSpec(width, 4);
      layout.bytesPerLine = static_cast<std::uint16_t>(width + extra);
      const Picture picture = Read(MakePcx(layout));
      EXPECT_EQ(picture.pixelFormat, kPixelFormatIndexed);
      EXPECT_EQ(picture.width, width);
      EXPECT_EQ(picture.height, 4);
      EXPECT_EQ(picture.pixels, layout.pixels);
    }
  }
}

// The palette's 8-bit bytes become 6-bit values; with "1555" the indices
// go through them to 5-5-5 values.
TEST(PcxVariantsTest, ScalesThePaletteAndGoesThroughItWith1555) {
  PcxSpec layout = IndexedSpec(4, 1);
  layout.palette[0] = {252, 252, 252};  // 63, 63, 63 once scaled
  layout.palette[1] = {248, 0, 0};      // 62, 0, 0
  layout.palette[2] = {0, 0, 0};
  layout.palette[3] = {255, 4, 3};      // 63, 1, 0
  layout.pixels = {0, 1, 2, 3};
  const Picture indexed = Read(MakePcx(layout));
  EXPECT_EQ(indexed.palette[9], 63);
  EXPECT_EQ(indexed.palette[10], 1);
  EXPECT_EQ(indexed.palette[11], 0);
  const Picture packed = Read(MakePcx(layout), true);
  EXPECT_EQ(packed.pixelFormat, kPixelFormat16Bit);
  EXPECT_EQ(packed.pixels, (Bytes{0xFF, 0x7F, 0x00, 0x7C, 0x00, 0x00, 0x00, 0x7C}));
}

TEST(PcxVariantsTest, Reads24BitPicturesWithTheBytesPerLineAsWidth) {
  for (int width : {1, 2, 3, 6}) {
    SCOPED_TRACE("width " + std::to_string(width));
    const PcxSpec layout = RgbSpec(width, 3);
    const int bytesPerLine = test::PcxBytesPerLine(layout);
    const Picture picture = Read(MakePcx(layout));
    EXPECT_EQ(picture.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(picture.width, bytesPerLine);
    ASSERT_EQ(picture.pixels.size(), 3u * bytesPerLine * 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < bytesPerLine; ++x) {
        for (int c = 0; c < 3; ++c) {
          const std::uint8_t expected = x < width ? layout.pixels[3 * (y * width + x) + c] : 0;
          EXPECT_EQ(picture.pixels[3 * (y * bytesPerLine + x) + c], expected)
              << x << "," << y << "," << c;
        }
      }
    }
  }
}

TEST(PcxVariantsTest, RunLengthCodeEdgeCases) {
  struct Case {
    const char* name;
    PcxSpec layout;
    Bytes coded;
    Bytes pixels;
  };
  PcxSpec twoPlanes = PlanarSpec(8, 2, 2);
  twoPlanes.bytesPerLine = 1;
  const Case cases[] = {
      {"empty run, single high value, run of three", IndexedSpec(4, 1),
       {0xC0, 0x07, 0xC1, 0xC5, 0xC3, 0x10}, {0xC5, 0x10, 0x10, 0x10}},
      {"256-colour run crossing the scan line end continues on the next", IndexedSpec(2, 2),
       {0xC3, 0x11, 0x22, 0x33}, {0x11, 0x11, 0x11, 0x22}},
      {"16-colour run crossing plane and scan lines", twoPlanes,
       {0xC3, 0xFF, 0x0F}, {3, 3, 3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 3, 3, 3, 3}},
      {"24-bit run across the planes, last run cut", RgbSpec(2, 1),
       {0xC3, 0x40, 0xC9, 0x41}, {0x40, 0x40, 0x41, 0x40, 0x41, 0x41}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(MakePcxWithData(c.layout, c.coded)).pixels, c.pixels);
  }
}

Bytes Damaged(const Bytes& file, const std::function<void(Bytes&)>& damage) {
  Bytes copy = file;
  damage(copy);
  return copy;
}

// Each refusal with its message; the picture read before stays as it was.
TEST(PcxVariantsTest, RefusesMalformedFiles) {
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
  const PcxSpec earlier = IndexedSpec(3, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture = Read(MakePcx(earlier));
    const Picture before = picture;
    const Status status = ReadPcx(c.file, ReadOptions{}, picture);
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(picture.pixels, before.pixels);
    EXPECT_EQ(picture.width, before.width);
    EXPECT_EQ(picture.palette, before.palette);
  }
}

TEST(PcxVariantsTest, SignatureNeedsManufacturerAndEncoding) {
  EXPECT_TRUE(HasPcxSignature(Bytes{0x0A, 5, 1}));
  EXPECT_TRUE(HasPcxSignature(Bytes{0x0A, 0, 1, 8}));
  EXPECT_FALSE(HasPcxSignature(Bytes{0x0A, 5}));
  EXPECT_FALSE(HasPcxSignature(Bytes{0x0A, 5, 0}));
  EXPECT_FALSE(HasPcxSignature(Bytes{'B', 'M', 1}));
}

// Pictures written by ImageMagick and Netpbm against Netpbm's own reading
// (none has padding): Netpbm's planar and packed pictures, and one whose
// runs go on past the end of each scan line. Palette pictures are compared
// through our 6-bit palette. "1555" turns only 256-colour pictures into
// 16-bit values; 24-bit ones finish in the conversion.
TEST(PcxVariantsTest, ReadsPicturesOfOtherTools) {
  struct Case {
    const char* name;
    PixelFormat format;
    PixelFormat formatWith1555;
  };
  const Case cases[] = {
      {"pcx16_3planes_7x5", kPixelFormat16Colour, kPixelFormat16Colour},
      {"pcx16_4planes_13x6", kPixelFormat16Colour, kPixelFormat16Colour},
      {"pcx2_1plane_13x6", kPixelFormat16Colour, kPixelFormat16Colour},
      {"pcx4_packed2_7x5", kPixelFormat16Colour, kPixelFormat16Colour},
      {"pcx16_packed4_7x5", kPixelFormat16Colour, kPixelFormat16Colour},
      {"pcx256_7x5", kPixelFormatIndexed, kPixelFormat16Bit},
      {"pcx256_13x6", kPixelFormatIndexed, kPixelFormat16Bit},
      {"pcx256_runs_across_lines_7x5", kPixelFormatIndexed, kPixelFormat16Bit},
      {"pcx24_7x5", kPixelFormatRgb, kPixelFormatRgb},
      {"pcx24_13x6", kPixelFormatRgb, kPixelFormatRgb},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::TestDataPath(std::string(c.name) + ".expected.ppm"));
    ASSERT_GT(expected.width, 0);
    const Bytes file = test::ReadBytes(test::TestDataPath(std::string(c.name) + ".pcx"));
    const Picture picture = Read(file);
    EXPECT_EQ(picture.pixelFormat, c.format);
    if (c.format == kPixelFormatRgb) {
      EXPECT_EQ(picture.width, expected.width);
      EXPECT_EQ(picture.pixels, expected.rgb);
    } else {
      test::ExpectPaletteColours(picture, expected);
    }
    const Picture flagged = Read(file, true);
    EXPECT_EQ(flagged.pixelFormat, c.formatWith1555);
    if (c.formatWith1555 != kPixelFormat16Bit) {
      EXPECT_EQ(flagged.pixels, picture.pixels);
    }
  }
}

// The 256-colour palette follows a 0x0C marker: 769 bytes before the end,
// else right after the coded data. A byte appended after the palette moves
// it away from the end; a byte cut off leaves no whole palette.
TEST(PcxVariantsTest, FindsThe256ColourPaletteByItsMarker) {
  const test::PlainPpm expected = test::ReadPlainPpm(test::TestDataPath("pcx256_13x6.expected.ppm"));
  Picture original;
  ASSERT_TRUE(ReadFile("pcx256_13x6.pcx", true, original).ok());

  Picture extra;
  ASSERT_TRUE(ReadFile("pcx256_extra_byte_13x6.pcx", false, extra).ok());
  test::ExpectPaletteColours(extra, expected);
  ASSERT_TRUE(ReadFile("pcx256_extra_byte_13x6.pcx", true, extra).ok());
  EXPECT_EQ(extra.pixelFormat, kPixelFormat16Bit);
  EXPECT_EQ(extra.pixels, original.pixels);

  Picture cut;
  ASSERT_TRUE(ReadFile("pcx256_cut_13x6.pcx", false, cut).ok());
  Picture plain;
  ASSERT_TRUE(ReadFile("pcx256_13x6.pcx", false, plain).ok());
  EXPECT_EQ(cut.pixels, plain.pixels);  // the indices convert as before
  const Status refused = ReadFile("pcx256_cut_13x6.pcx", true, cut);
  EXPECT_EQ(refused.kind(), ErrorKind::kDamaged);
  EXPECT_NE(refused.message().find("no 256-colour palette"), std::string::npos)
      << refused.message();
}

// 24-bit pictures keep the bytes per line as their width and say so when
// it is larger than the window; a smaller one is refused.
TEST(PcxVariantsTest, TwentyFourBitWidthAgainstTheWindow) {
  struct Case {
    std::int32_t window;
    std::uint16_t bytesPerLine;
    std::vector<std::string> notices;
    std::string refusal;
  };
  const Case cases[] = {
      {33, 34, {"24-bit PCX: 34 pixels wide as stored (bytes per line); its window is 33 wide"}, ""},
      {34, 34, {}, ""},
      {100, 10, {}, "bytes per line (10) too small for a width of 100 pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window);
    test::PcxSpec layout;
    layout.planes = 3;
    layout.width = c.window;
    layout.bytesPerLine = c.bytesPerLine;
    // One run per plane line fills the scan line.
    const Bytes line = {static_cast<std::uint8_t>(0xC0 | c.bytesPerLine / 2), 9,
                        static_cast<std::uint8_t>(0xC0 | (c.bytesPerLine - c.bytesPerLine / 2)), 9};
    Bytes coded;
    for (int plane = 0; plane < 3; ++plane) coded.insert(coded.end(), line.begin(), line.end());
    Picture picture;
    const Status status = ReadPcx(test::MakePcxWithData(layout, coded), ReadOptions{}, picture);
    if (!c.refusal.empty()) {
      EXPECT_EQ(status.message(), c.refusal);
      EXPECT_EQ(status.kind(), ErrorKind::kDamaged);
      continue;
    }
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(picture.width, c.bytesPerLine);
    EXPECT_EQ(picture.notices, c.notices);
  }
}

// Packed pixels: the leftmost pixel in the highest bits of each byte.
TEST(PcxVariantsTest, PackedPixelsLeftmostHighest) {
  struct Case {
    std::uint8_t bits;
    Bytes coded;  // one scan line of 2 bytes
    Bytes pixels;
  };
  const Case cases[] = {
      {2, {0x1B, 0xC1, 0xC0}, {0, 1, 2, 3, 3}},
      {4, {0x1F, 0xA0}, {1, 15, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.bits));
    test::PcxSpec layout;
    layout.bitsPerPixel = 1;  // the writer's header; the bits are set below
    layout.width = static_cast<std::int32_t>(c.pixels.size());
    layout.bytesPerLine = 2;
    Bytes file = test::MakePcxWithData(layout, c.coded);
    file[3] = c.bits;
    Picture picture;
    ASSERT_TRUE(ReadPcx(file, ReadOptions{}, picture).ok());
    EXPECT_EQ(picture.pixels, c.pixels);
  }
}

}  // namespace
}  // namespace krelt
