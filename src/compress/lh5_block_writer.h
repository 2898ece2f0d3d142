#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "compress/bit_writer.h"
#include "compress/lh5_format.h"

namespace krelt {

// The code of one alphabet of a block: code lengths (0 = unused, 1-16) and
// canonical codes. single is the symbol of a table that holds one code
// only, sent in the single-code form, and taking 0 bits per use; else -1.
template <std::size_t kCount>
struct Lh5Code {
  std::array<std::uint8_t, kCount> lengths{};
  std::array<std::uint16_t, kCount> codes{};
  int single = -1;
};

// The codes a block is written with. Both levels choose them in their own
// way and hand them, with the tokens, to the one writer below.
struct Lh5BlockCodes {
  Lh5Code<kLh5SymbolCount> symbols;
  // Codes the symbol lengths; not sent when symbols holds a single code.
  Lh5Code<kLh5LengthSymbolCount> lengthSymbols;
  Lh5Code<kLh5DistanceClassCount> distanceClasses;
};

// Writes the head of a block: token count, code-length table, symbol
// lengths and distance table. False when the writer's room runs out.
bool WriteLh5Tables(BitWriter& bits, const Lh5BlockCodes& codes, unsigned tokenCount);

// Writes a whole block: its tables, then per token its symbol code and, for
// a match, its distance class code and extra bits. The codes must cover
// every symbol and distance class of the tokens.
bool WriteLh5Block(BitWriter& bits, const Lh5BlockCodes& codes,
                   std::span<const Lh5Token> tokens);

// Canonical codes: codes of one length are consecutive in symbol order,
// shorter codes first.
void AssignCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes);

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

// Adds the tokens' symbols to symbolCounts and their distance classes to
// classCounts (arrays or spans indexed by symbol and by class).
template <typename SymbolCounts, typename ClassCounts>
void CountTokenSymbols(std::span<const Lh5Token> tokens, SymbolCounts& symbolCounts,
                       ClassCounts& classCounts) {
  for (const Lh5Token& token : tokens) {
    ++symbolCounts[token.symbol];
    if (token.IsMatch()) ++classCounts[static_cast<std::size_t>(token.DistanceClass())];
  }
}

// Counts the code-length symbols the symbol lengths are sent with.
template <typename Count>
void CountLengthSymbols(const std::uint8_t* symbolLengths, Count* frequencies) {
  ForEachLengthSymbol(symbolLengths, [frequencies](int symbol, int, unsigned) {
    ++frequencies[symbol];
    return true;
  });
}

}  // namespace krelt
