#include "image/raster_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace krelt {
namespace {

std::vector<std::uint8_t> PaletteWithEntry0(std::uint8_t r, std::uint8_t g,
                                            std::uint8_t b) {
  std::vector<std::uint8_t> rgb(768, 0);
  rgb[0] = r;
  rgb[1] = g;
  rgb[2] = b;
  return rgb;
}

TEST(RasterImageTest, SetPaletteBuilds565FromSixBitComponents) {
  struct Case {
    std::uint8_t r, g, b;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {63, 63, 63, 0xFFFF}, {1, 0, 0, 0x0000}, {2, 0, 0, 0x0800},
      {0, 1, 0, 0x0020},    {0, 0, 1, 0x0000}, {0, 0, 2, 0x0001},
      {62, 0, 0, 0xF800},
  };
  for (const Case& c : cases) {
    RasterImage image;
    image.SetPalette(PaletteWithEntry0(c.r, c.g, c.b).data());
    EXPECT_EQ(image.palette16[0], c.expected)
        << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_EQ(image.palette[0], c.r);
  }
}

TEST(RasterImageTest, SetPaletteOnItsOwnPaletteRebuildsTheTable) {
  RasterImage image;
  image.palette[3] = 63;  // entry 1, red
  image.SetPalette(image.palette.data());
  EXPECT_EQ(image.palette16[1], 0xF800);
  EXPECT_EQ(image.palette[3], 63);
}

TEST(RasterImageTest, NullArgumentsChangeNothing) {
  RasterImage image;
  image.palette[0] = 5;
  image.SetPalette(nullptr);
  image.SetPixels(nullptr, 4, 4, nullptr);
  EXPECT_EQ(image.palette[0], 5);
  EXPECT_EQ(image.palette16[0], 0);
  EXPECT_TRUE(image.pixels.empty());
  EXPECT_EQ(image.width, 0);
}

TEST(RasterImageTest, SetPixelsCopiesWidthTimesFormatTimesHeightBytes) {
  const std::vector<std::uint8_t> source = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const auto palette = PaletteWithEntry0(63, 0, 0);
  struct Case {
    PixelFormat format, expectedFormat;
    std::size_t expectedBytes;
    bool takesPalette;
  };
  const Case cases[] = {
      {kPixelFormat16Colour, kPixelFormatIndexed, 6, true},
      {kPixelFormatIndexed, kPixelFormatIndexed, 6, true},
      {kPixelFormat16Bit, kPixelFormat16Bit, 12, false},
      {kPixelFormatRgb, kPixelFormatRgb, 18, false},
  };
  for (const Case& c : cases) {
    RasterImage image;
    image.pixelFormat = c.format;
    std::vector<std::uint8_t> padded = source;
    padded.resize(18, 0);
    image.SetPixels(padded.data(), 3, 2, palette.data());
    EXPECT_EQ(image.pixelFormat, c.expectedFormat);
    EXPECT_EQ(image.pixels.size(), c.expectedBytes);
    EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), padded.begin()));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.palette[0], c.takesPalette ? 63 : 0);
  }
}

}  // namespace
}  // namespace krelt
