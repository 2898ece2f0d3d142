#pragma once

#include <cstdint>
#include <span>

namespace krelt {

// Gives the symbols with a non-zero frequency the code lengths, at most
// maxLength bits, that make the coded size sum(frequency * length) as small
// as it can be (package-merge). Unused symbols get length 0; with fewer than
// two used symbols every length is 0. lengths has as many entries as
// frequencies, which has at most 2^maxLength entries.
void OptimalCodeLengths(std::span<const std::uint32_t> frequencies, int maxLength,
                        std::span<std::uint8_t> lengths);

}  // namespace krelt
