#pragma once

#include <bit>
#include <cstdint>

#include "compress/bit_writer.h"
#include "compress/lh5_format.h"

namespace krelt {

// Writers of the code tables at the head of an lh5 block, shared by the
// encoders of both levels. Lengths are code lengths (0 = unused, 1-16).

// Number of entries up to and including the last non-zero length.
int UsedLengthCount(const std::uint8_t* lengths, int count);

// Walks the code lengths of the 510 symbols as code-length symbols, handing
// each with its extra field (width, value) to emit; stops when emit returns
// false.
template <typename Emit>
bool ForEachLengthSymbol(const std::uint8_t* symbolLengths, Emit emit) {
  const int count = UsedLengthCount(symbolLengths, kLh5SymbolCount);
  int i = 0;
  while (i < count) {
    const int length = symbolLengths[i++];
    if (length != 0) {
      if (!emit(length + kLh5LengthSymbolBias, 0, 0u)) return false;
      continue;
    }
    int run = 1;
    while (i < count && symbolLengths[i] == 0) {
      ++i;
      ++run;
    }
    bool emitted;
    if (run < kLh5ShortZeroRunMin) {
      emitted = emit(0, 0, 0u) && (run == 1 || emit(0, 0, 0u));
    } else if (run < kLh5LongZeroRunMin - 1) {
      emitted = emit(kLh5ShortZeroRunSymbol, kLh5ShortZeroRunBits,
                     static_cast<unsigned>(run - kLh5ShortZeroRunMin));
    } else if (run == kLh5LongZeroRunMin - 1) {
      // 19 zeros fit neither run: one zero, then a run of 18.
      emitted = emit(0, 0, 0u) &&
                emit(kLh5ShortZeroRunSymbol, kLh5ShortZeroRunBits,
                     static_cast<unsigned>(run - 1 - kLh5ShortZeroRunMin));
    } else {
      emitted = emit(kLh5LongZeroRunSymbol, kLh5LongZeroRunBits,
                     static_cast<unsigned>(run - kLh5LongZeroRunMin));
    }
    if (!emitted) return false;
  }
  return true;
}

// The form of a table with one symbol only: a zero count, then the symbol.
bool WriteSingleCode(BitWriter& bits, int countBits, unsigned symbol);

// The code-length table (skipAfter = kLh5SkipFieldPosition) or the distance
// table (skipAfter = kLh5NoSkipField) of count entries.
inline constexpr int kLh5NoSkipField = -1;
bool WriteSmallTable(BitWriter& bits, const std::uint8_t* lengths, int count,
                     int countBits, int skipAfter);

// The 9-bit count and the symbol lengths, coded with the code-length code.
bool WriteSymbolLengths(BitWriter& bits, const std::uint8_t* symbolLengths,
                        const std::uint8_t* lengthSymbolLengths,
                        const std::uint16_t* lengthSymbolCodes);

// A match's distance: the code of its class, then the bits of
// distanceCode below its top bit.
inline bool WriteDistance(BitWriter& bits, const std::uint8_t* classLengths,
                          const std::uint16_t* classCodes, unsigned distanceCode) {
  const int distanceClass = std::bit_width(distanceCode);
  if (!bits.PutBits(classLengths[distanceClass], classCodes[distanceClass])) return false;
  return distanceClass <= 1 ||
         bits.PutBits(distanceClass - 1, distanceCode & (0xFFFFu >> (17 - distanceClass)));
}

// Canonical codes: codes of one length are consecutive in symbol order,
// shorter codes first.
void AssignCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes);

}  // namespace krelt
