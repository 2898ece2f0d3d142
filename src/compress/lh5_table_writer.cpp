#include "compress/lh5_table_writer.h"

#include <array>

namespace krelt {

int UsedLengthCount(const std::uint8_t* lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

bool WriteSingleCode(BitWriter& bits, int countBits, unsigned symbol) {
  return bits.PutBits(countBits, 0) && bits.PutBits(countBits, symbol);
}

bool WriteSmallTable(BitWriter& bits, const std::uint8_t* lengths, int count,
                     int countBits, int skipAfter) {
  count = UsedLengthCount(lengths, count);
  if (!bits.PutBits(countBits, static_cast<unsigned>(count))) return false;
  int i = 0;
  while (i < count) {
    const int length = lengths[i++];
    const int escapeBits = length - kLh5SmallLengthEscape + kLh5SmallLengthBits + 1;
    const bool written =
        length < kLh5SmallLengthEscape
            ? bits.PutBits(kLh5SmallLengthBits, static_cast<unsigned>(length))
            : bits.PutBits(escapeBits, (1u << escapeBits) - 2);
    if (!written) return false;
    if (i == skipAfter) {
      while (i < skipAfter + 3 && lengths[i] == 0) ++i;
      if (!bits.PutBits(kLh5SkipFieldBits, static_cast<unsigned>(i - skipAfter))) {
        return false;
      }
    }
  }
  return true;
}

bool WriteSymbolLengths(BitWriter& bits, const std::uint8_t* symbolLengths,
                        const std::uint8_t* lengthSymbolLengths,
                        const std::uint16_t* lengthSymbolCodes) {
  const int count = UsedLengthCount(symbolLengths, kLh5SymbolCount);
  if (!bits.PutBits(kLh5SymbolCountBits, static_cast<unsigned>(count))) return false;
  return ForEachLengthSymbol(symbolLengths, [&](int symbol, int extraBits, unsigned extra) {
    return bits.PutBits(lengthSymbolLengths[symbol], lengthSymbolCodes[symbol]) &&
           (extraBits == 0 || bits.PutBits(extraBits, extra));
  });
}

void AssignCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes) {
  std::array<std::uint16_t, kLh5MaxCodeLength + 1> lengthCounts{};
  for (int symbol = 0; symbol < count; ++symbol) ++lengthCounts[lengths[symbol]];
  std::array<std::uint16_t, kLh5MaxCodeLength + 2> start{};
  for (int length = 1; length <= kLh5MaxCodeLength; ++length) {
    start[length + 1] =
        static_cast<std::uint16_t>((start[length] + lengthCounts[length]) << 1);
  }
  for (int symbol = 0; symbol < count; ++symbol) {
    codes[symbol] = start[lengths[symbol]]++;
  }
}

}  // namespace krelt
