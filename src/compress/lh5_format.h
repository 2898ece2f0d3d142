#pragma once

#include <bit>
#include <cstdint>

namespace krelt {

// The lh5 block layout used inside coded chunks: alphabets, match limits and
// the widths of the block's fields. Shared by the encoders, the decoder and
// the tools that check streams.

// LZSS window and match lengths.
inline constexpr int kLh5WindowSize = 8192;
inline constexpr int kLh5MinMatch = 3;
inline constexpr int kLh5MaxMatch = 256;

// Literals and match lengths share one alphabet: 0-255 are the bytes,
// 256-509 the lengths 3-256 (symbol = length + kLh5MatchSymbolOffset).
inline constexpr int kLh5SymbolCount = 510;
inline constexpr int kLh5FirstMatchSymbol = 256;
inline constexpr int kLh5MatchSymbolOffset = kLh5FirstMatchSymbol - kLh5MinMatch;

// Distance classes: the bit width of distance - 1 (0..8191). Classes above 1
// are followed by class - 1 extra bits, the bits below the top one.
inline constexpr int kLh5DistanceClassCount = 14;

constexpr int Lh5DistanceClass(unsigned distanceCode) { return std::bit_width(distanceCode); }
constexpr int Lh5DistanceExtraBits(int distanceClass) {
  return distanceClass > 1 ? distanceClass - 1 : 0;
}
static_assert(Lh5DistanceClass(kLh5WindowSize - 1) < kLh5DistanceClassCount);

// One token of a coded chunk: a literal (symbol < 256) or a match (symbol =
// length + kLh5MatchSymbolOffset, distanceCode = distance - 1).
struct Lh5Token {
  std::uint16_t symbol = 0;
  std::uint16_t distanceCode = 0;

  static constexpr Lh5Token Literal(std::uint8_t byte) { return {byte, 0}; }
  static constexpr Lh5Token Match(int length, int distance) {
    return {static_cast<std::uint16_t>(length + kLh5MatchSymbolOffset),
            static_cast<std::uint16_t>(distance - 1)};
  }

  bool IsMatch() const { return symbol >= kLh5FirstMatchSymbol; }
  // Bytes the token stands for.
  int Length() const { return IsMatch() ? symbol - kLh5MatchSymbolOffset : 1; }
  int DistanceClass() const { return Lh5DistanceClass(distanceCode); }

  bool operator==(const Lh5Token&) const = default;
};

// Code-length symbols: 0 one zero length, 1 a run of 3-18 zero lengths,
// 2 a run of 20 or more zero lengths, 3-18 the lengths 1-16.
inline constexpr int kLh5LengthSymbolCount = 19;
inline constexpr int kLh5ShortZeroRunSymbol = 1;
inline constexpr int kLh5LongZeroRunSymbol = 2;
inline constexpr int kLh5LengthSymbolBias = 2;  // length symbol = code length + 2
inline constexpr int kLh5MaxCodeLength = 16;

// Field widths of a block.
inline constexpr int kLh5TokenCountBits = 16;
inline constexpr int kLh5LengthSymbolCountBits = 5;
inline constexpr int kLh5SymbolCountBits = 9;
inline constexpr int kLh5DistanceClassCountBits = 4;
inline constexpr int kLh5ShortZeroRunBits = 4;  // run of 3-18 zero lengths
inline constexpr int kLh5LongZeroRunBits = 9;   // run of 20 or more zero lengths
inline constexpr int kLh5ShortZeroRunMin = 3;
inline constexpr int kLh5LongZeroRunMin = 20;
// Lengths of the small tables up to this value take 3 bits; longer ones
// are 111, then (length - 7) one bits and a zero bit.
inline constexpr int kLh5SmallLengthBits = 3;
inline constexpr int kLh5SmallLengthEscape = 7;
// In the code-length table, a 2-bit field after the third length tells how
// many of the lengths 3, 4 and 5 are zero and skipped.
inline constexpr int kLh5SkipFieldPosition = 3;
inline constexpr int kLh5SkipFieldBits = 2;

}  // namespace krelt
