#include "compress/lh5_block_writer.h"

namespace krelt {
namespace {

// The form of a table with one symbol only: a zero count, then the symbol.
bool WriteSingleCode(BitWriter& bits, int countBits, unsigned symbol) {
  return bits.PutBits(countBits, 0) && bits.PutBits(countBits, symbol);
}

// The code-length table (skipAfter = kLh5SkipFieldPosition) or the distance
// table (skipAfter = kNoSkipField): a count, then the lengths up to the last
// used one; a code of one symbol in the single-code form.
constexpr int kNoSkipField = -1;

template <std::size_t kCount>
bool WriteSmallTable(BitWriter& bits, const Lh5Code<kCount>& code, int countBits,
                     int skipAfter) {
  if (code.single >= 0) return WriteSingleCode(bits, countBits, static_cast<unsigned>(code.single));
  const std::uint8_t* lengths = code.lengths.data();
  const int count = UsedLengthCount(lengths, static_cast<int>(kCount));
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

// The 9-bit count and the symbol lengths, coded with the code-length code.
bool WriteSymbolLengths(BitWriter& bits, const Lh5BlockCodes& codes) {
  const std::uint8_t* symbolLengths = codes.symbols.lengths.data();
  const int count = UsedLengthCount(symbolLengths, kLh5SymbolCount);
  if (!bits.PutBits(kLh5SymbolCountBits, static_cast<unsigned>(count))) return false;
  const Lh5Code<kLh5LengthSymbolCount>& lengthCode = codes.lengthSymbols;
  return ForEachLengthSymbol(symbolLengths, [&](int symbol, int extraBits, unsigned extra) {
    return bits.PutBits(lengthCode.lengths[static_cast<std::size_t>(symbol)],
                        lengthCode.codes[static_cast<std::size_t>(symbol)]) &&
           (extraBits == 0 || bits.PutBits(extraBits, extra));
  });
}

// A match's distance: the code of its class, then the bits of the distance
// code below its top bit.
bool WriteDistance(BitWriter& bits, const Lh5Code<kLh5DistanceClassCount>& classes,
                   Lh5Token match) {
  const auto distanceClass = static_cast<std::size_t>(match.DistanceClass());
  const int extraBits = Lh5DistanceExtraBits(match.DistanceClass());
  return bits.PutBits(classes.lengths[distanceClass], classes.codes[distanceClass]) &&
         (extraBits == 0 ||
          bits.PutBits(extraBits, match.distanceCode & ((1u << extraBits) - 1)));
}

}  // namespace

int UsedLengthCount(const std::uint8_t* lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

bool WriteLh5Tables(BitWriter& bits, const Lh5BlockCodes& codes, unsigned tokenCount) {
  if (!bits.PutBits(kLh5TokenCountBits, tokenCount)) return false;
  const int single = codes.symbols.single;
  // With one symbol only, an empty code-length table, then the symbol itself.
  const bool symbolTables =
      single >= 0 ? WriteSingleCode(bits, kLh5LengthSymbolCountBits, 0) &&
                        WriteSingleCode(bits, kLh5SymbolCountBits, static_cast<unsigned>(single))
                  : WriteSmallTable(bits, codes.lengthSymbols, kLh5LengthSymbolCountBits,
                                    kLh5SkipFieldPosition) &&
                        WriteSymbolLengths(bits, codes);
  return symbolTables && WriteSmallTable(bits, codes.distanceClasses,
                                         kLh5DistanceClassCountBits, kNoSkipField);
}

bool WriteLh5Block(BitWriter& bits, const Lh5BlockCodes& codes,
                   std::span<const Lh5Token> tokens) {
  if (!WriteLh5Tables(bits, codes, static_cast<unsigned>(tokens.size()))) return false;
  const Lh5Code<kLh5SymbolCount>& symbols = codes.symbols;
  // A local copy stays in registers: the compiler cannot know that the
  // output bytes do not overlap the caller's writer.
  BitWriter local = bits;
  bool written = true;
  for (const Lh5Token& token : tokens) {
    written = local.PutBits(symbols.lengths[token.symbol], symbols.codes[token.symbol]) &&
              (!token.IsMatch() || WriteDistance(local, codes.distanceClasses, token));
    if (!written) break;
  }
  bits = local;
  return written;
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
