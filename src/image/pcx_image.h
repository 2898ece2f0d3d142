#pragma once

#include <cstdint>
#include <span>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

// Reads a run-length coded PCX picture: 1 bit in 1 to 4 planes and 2 or 4
// bits in one plane (indices 0..15 into the header palette), 8 bits in one
// plane (indices; with flag1555 5-5-5 values through the 256-colour
// palette) and 8 bits in three planes (red, green, blue, as wide as the
// bytes per line).
Status ReadPcx(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture);

// True when the bytes can start a PCX file (manufacturer 0x0A, encoding 1).
bool HasPcxSignature(std::span<const std::uint8_t> file);

}  // namespace krelt
