#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

// True when the bytes start with the eight-byte PNG signature.
bool HasPngSignature(std::span<const std::uint8_t> file);

// Reads a PNG file of any colour type and bit depth, interlaced or not,
// with every CRC checked. Palette pictures give indices; grey, grey with
// alpha, RGB and RGBA give red, green, blue (16-bit samples rounded to 8
// bits, alpha ignored). With flag1555 every picture gives 1-5-5-5 values:
// bit 15 and five bits a component for pixels of alpha 128 and more, 0 for
// the others. Gamma and colour-space chunks are ignored.
Status ReadPng(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture);

// The PLTE entries of a PNG file as red, green, blue bytes, exactly as
// stored; a file without a palette gives an error.
Status ReadPngPalette(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& rgb);

}  // namespace krelt
