#pragma once

// Every rule of 16-bit pixels. A 16-bit pixel is a 1-5-5-5 value: bit 15,
// then five bits each of red, green and blue. Readers and the conversion
// build them as little-endian values (kPixelFormat16Bit); FinishHighColour
// turns those into the bytes a GD file stores. BMP pictures take the BMP
// road, PCX, PNG and sprite files the PCX and sprite road.

#include <array>
#include <cstdint>
#include <span>

#include "image/picture.h"

namespace krelt {

inline constexpr std::uint16_t kHighColourTopBit = 0x8000;

// How a road marks and stores its 16-bit pixels.
struct HighColourRoad {
  // Bit 15 of the values made from 8-bit colours.
  std::uint16_t colourTopBit;
  // Whether finishing sets bit 15 on every value that is not 0.
  bool topBitOnNonZero;
  // The road's byte order; a conversion may ask for the other one.
  bool highByteFirst;
};

// BMP road: bit 15 on every pixel, low byte first.
inline constexpr HighColourRoad kBmpRoad{kHighColourTopBit, false, false};
// PCX and sprite road: bit 15 on pixels that are not 0, set when finishing
// (PNG pixels bring it from their alpha), high byte first.
inline constexpr HighColourRoad kPcxSpriteRoad{0, true, true};

// An 8-bit component rounded to five bits, (c + 3) >> 3 at most 31: RGB
// pictures of both roads and PNG pixels.
std::uint16_t ComponentTo5Bits(std::uint8_t component);

// Five-bit red, green and blue as a 5-5-5 value ORed with topBit.
std::uint16_t Pack555(std::uint16_t red, std::uint16_t green, std::uint16_t blue,
                      std::uint16_t topBit);

// 8-bit red, green and blue, each rounded to five bits, ORed with topBit.
std::uint16_t RgbTo555(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                       std::uint16_t topBit);

// PNG pixels: bit 15 and the rounded colour from an alpha of 128 up,
// 0x0000 below.
std::uint16_t RgbaTo1555(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                         std::uint8_t alpha);

// A BMP bit field of `bits` bits as five bits, for "1555" pictures read
// field by field: a 5-bit field unchanged, a 6-bit field its top five
// bits, other widths their value scaled to 8 bits, rounded.
std::uint16_t BitFieldTo5Bits(std::uint32_t value, int bits, std::uint8_t scaledTo8Bits);

// 5-5-5 values of a palette of 256 red, green, blue entries of 6-bit
// components (PCX 256-colour pictures, 8-bit sprite frames): the top five
// bits of each. Sprite palettes are taken as stored; bytes above 63 keep
// the masks these tables always had.
std::array<std::uint16_t, 256> Palette555Table(std::span<const std::uint8_t, 768> palette);

// A 5-bit component widened to 8 bits by repeating its top bits.
std::uint8_t Widen5To8(unsigned value);

// A 6-bit palette component widened to 8 bits by repeating its top bits.
std::uint8_t Widen6To8(std::uint8_t value);

// A 5-6-5 value as 5-5-5 (16-bit sprite frames): green loses its lowest
// bit, bit 15 stays clear.
std::uint16_t Repack565To555(std::uint16_t value);

// An RGB picture to 5-5-5 values ORed with topBit, the road's colourTopBit.
void RgbPictureTo555(Picture& picture, std::uint16_t topBit);

// An indexed picture to 5-5-5 values through Palette555Table of its palette.
void IndexedPictureTo555(Picture& picture);

// Little-endian 5-6-5 values rewritten as 5-5-5 in place.
void Repack565PixelsTo555(std::span<std::uint8_t> pixels);

// Little-endian 16-bit values finished for storing: on a road with
// topBitOnNonZero bit 15 set on every value but 0, then each value stored
// high byte first or low byte first.
void FinishHighColour(std::span<std::uint8_t> pixels, const HighColourRoad& road,
                      bool highByteFirst);

}  // namespace krelt
