// ReadPcx on packed pictures, the palette search, runs across scan lines
// and the width of 24-bit pictures.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/pcx_image.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

Status ReadFile(const std::string& name, bool flag1555, Picture& picture) {
  return ReadPcx(test::ReadBytes(test::TestDataPath(name)), ReadOptions{flag1555}, picture);
}

// Our colour of a pixel: the header or 256-colour palette holds 6-bit values.
void ExpectPaletteColours(const Picture& picture, const test::PlainPpm& expected) {
  ASSERT_EQ(picture.width, expected.width);
  ASSERT_EQ(picture.height, expected.height);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_EQ(picture.palette[3 * picture.pixels[i] + c], expected.rgb[3 * i + c] >> 2) << i;
    }
  }
}

// Netpbm's packed pictures of 2 and 4 bits in one plane, and a picture
// whose runs go on past the end of each scan line.
TEST(PcxVariantsTest, ReadsPackedAndContinuousPicturesOfOtherTools) {
  struct Case {
    const char* name;
    PixelFormat format;
  };
  for (const Case& c : {Case{"pcx4_packed2_7x5", kPixelFormat16Colour},
                        Case{"pcx16_packed4_7x5", kPixelFormat16Colour},
                        Case{"pcx256_runs_across_lines_7x5", kPixelFormatIndexed}}) {
    SCOPED_TRACE(c.name);
    Picture picture;
    ASSERT_TRUE(ReadFile(std::string(c.name) + ".pcx", false, picture).ok());
    EXPECT_EQ(picture.pixelFormat, c.format);
    ExpectPaletteColours(picture,
                         test::ReadPlainPpm(test::TestDataPath(std::string(c.name) + ".expected.ppm")));
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
  ExpectPaletteColours(extra, expected);
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
