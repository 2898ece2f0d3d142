// The 16-bit pixel rules against their known values.

#include "image/high_colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Palette555Table's value of a palette whose entry 0 is (red, green, blue).
std::uint16_t PaletteValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  std::array<std::uint8_t, 768> palette{};
  palette[0] = red;
  palette[1] = green;
  palette[2] = blue;
  return Palette555Table(palette)[0];
}

struct RuleCase {
  const char* rule;
  std::uint16_t value;
  std::uint16_t expected;
};

TEST(HighColourTest, EachRuleGivesItsKnownValues) {
  const std::uint16_t bmp = kBmpRoad.colourTopBit;
  const std::uint16_t pcx = kPcxSpriteRoad.colourTopBit;
  const RuleCase cases[] = {
      {"component 0", ComponentTo5Bits(0), 0},
      {"component 4", ComponentTo5Bits(4), 0},
      {"component 5", ComponentTo5Bits(5), 1},
      {"component 244", ComponentTo5Bits(244), 30},
      {"component 252", ComponentTo5Bits(252), 31},
      {"component 255", ComponentTo5Bits(255), 31},
      {"BMP road black", RgbTo555(0, 0, 0, bmp), 0x8000},
      {"BMP road white", RgbTo555(255, 255, 255, bmp), 0xFFFF},
      {"BMP road red", RgbTo555(255, 0, 0, bmp), 0xFC00},
      {"BMP road 8, 8, 8", RgbTo555(8, 8, 8, bmp), 0x8421},
      {"BMP road 4, 4, 4", RgbTo555(4, 4, 4, bmp), 0x8000},
      {"BMP road red 5", RgbTo555(5, 0, 0, bmp), 0x8400},
      {"BMP road green 5", RgbTo555(0, 5, 0, bmp), 0x8020},
      {"BMP road blue 5", RgbTo555(0, 0, 5, bmp), 0x8001},
      {"BMP road blue 253", RgbTo555(0, 0, 253, bmp), 0x801F},
      {"PCX road white", RgbTo555(255, 255, 255, pcx), 0x7FFF},
      {"PCX road black", RgbTo555(0, 0, 0, pcx), 0x0000},
      {"PCX road 8, 8, 8", RgbTo555(8, 8, 8, pcx), 0x0421},
      {"PCX road 4, 0, 5", RgbTo555(4, 0, 5, pcx), 0x0001},
      {"PCX road red 253", RgbTo555(253, 0, 0, pcx), 0x7C00},
      {"PCX road green 252", RgbTo555(0, 252, 0, pcx), 0x03E0},
      {"PCX road blue 244", RgbTo555(0, 0, 244, pcx), 0x001E},
      {"PNG opaque white", RgbaTo1555(255, 255, 255, 255), 0xFFFF},
      {"PNG black at alpha 128", RgbaTo1555(0, 0, 0, 128), 0x8000},
      {"PNG 8, 8, 8 at alpha 200", RgbaTo1555(8, 8, 8, 200), 0x8421},
      {"PNG white at alpha 127", RgbaTo1555(255, 255, 255, 127), 0x0000},
      {"5-bit field as stored", BitFieldTo5Bits(17, 5, 0), 17},
      {"6-bit field keeps its top five bits", BitFieldTo5Bits(43, 6, 0), 21},
      {"4-bit field through 8 bits", BitFieldTo5Bits(15, 4, 255), 31},
      {"8-bit field rounded", BitFieldTo5Bits(4, 8, 4), 0},
      {"5-bit fields packed", Pack555(31, 0, 1, bmp), 0xFC01},
      {"palette 63, 63, 63", PaletteValue(63, 63, 63), 0x7FFF},
      {"palette 62, 0, 0", PaletteValue(62, 0, 0), 0x7C00},
      {"palette 0, 2, 63", PaletteValue(0, 2, 63), 0x003F},
      {"palette 0, 0, 1", PaletteValue(0, 0, 1), 0x0000},
      {"palette 1, 3, 0", PaletteValue(1, 3, 0), 0x0020},
      {"palette bytes above 63 as stored", PaletteValue(64, 128, 128), 0x8840},
      {"5-6-5 white", Repack565To555(0xFFFF), 0x7FFF},
      {"5-6-5 red", Repack565To555(0xF800), 0x7C00},
      {"5-6-5 green", Repack565To555(0x07E0), 0x03E0},
      {"5-6-5 blue", Repack565To555(0x001F), 0x001F},
      {"5-6-5 lowest green bit", Repack565To555(0x0020), 0x0000},
      {"5-6-5 lowest red and second green bit", Repack565To555(0x0840), 0x0420},
  };
  for (const RuleCase& c : cases) {
    EXPECT_EQ(c.value, c.expected) << c.rule << std::hex << ": 0x" << c.value;
  }
}

// Values as the readers build them (low byte first) against the stored bytes.
TEST(HighColourTest, FinishingSetsEachRoadsBitAndByteOrder) {
  struct Case {
    const char* name;
    HighColourRoad road;
    bool highByteFirst;
    Bytes stored;
  };
  const Bytes built = {0x1F, 0x00, 0x00, 0x7C, 0x00, 0x00, 0x34, 0x92};
  const Case cases[] = {
      {"PCX road, high byte first", kPcxSpriteRoad, true,
       {0x80, 0x1F, 0xFC, 0x00, 0x00, 0x00, 0x92, 0x34}},
      {"PCX road, low byte first", kPcxSpriteRoad, false,
       {0x1F, 0x80, 0x00, 0xFC, 0x00, 0x00, 0x34, 0x92}},
      {"BMP road, low byte first", kBmpRoad, false, built},
      {"BMP road, high byte first", kBmpRoad, true,
       {0x00, 0x1F, 0x7C, 0x00, 0x00, 0x00, 0x92, 0x34}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes pixels = built;
    FinishHighColour(pixels, c.road, c.highByteFirst);
    EXPECT_EQ(pixels, c.stored);
  }
}

}  // namespace
}  // namespace krelt
