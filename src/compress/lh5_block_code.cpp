#include "compress/lh5_block_code.h"

#include <bit>

#include "compress/length_limited_code.h"
#include "compress/lh5_table_writer.h"

namespace krelt {
namespace {

// Room for the tables of any block: 16 + 5 + 19 * 16 + 2 + 9 + 510 * 25 +
// 4 + 14 * 16 bits.
constexpr std::uint32_t kTableScratchBytes = 2048;

int DistanceClass(unsigned distanceCode) { return std::bit_width(distanceCode); }
int ExtraBits(int distanceClass) { return distanceClass > 1 ? distanceClass - 1 : 0; }

}  // namespace

template <std::size_t kCount>
void Lh5BlockCode::Build(const std::array<std::uint32_t, kCount>& frequencies,
                         Code<kCount>& code) {
  OptimalCodeLengths(frequencies, kLh5MaxCodeLength, code.lengths);
  int used = 0;
  for (std::size_t symbol = 0; symbol < kCount; ++symbol) {
    if (frequencies[symbol] != 0) {
      ++used;
      code.single = static_cast<int>(symbol);
    }
  }
  // A table without any used symbol (the distances of a block without
  // matches) is sent as the single code 0.
  if (used == 0) code.single = 0;
  if (used >= 2) {
    code.single = -1;
    AssignCanonicalCodes(code.lengths.data(), static_cast<int>(kCount), code.codes.data());
  } else {
    code.codes.fill(0);  // the single code takes no bits
  }
}

Lh5BlockCode::Lh5BlockCode(std::span<const Lh5Token> tokens) {
  std::array<std::uint32_t, kLh5SymbolCount> symbolFrequencies{};
  std::array<std::uint32_t, kLh5DistanceClassCount> distanceFrequencies{};
  for (const Lh5Token& token : tokens) {
    ++symbolFrequencies[token.symbol];
    if (token.IsMatch()) ++distanceFrequencies[static_cast<std::size_t>(DistanceClass(token.distanceCode))];
  }
  Build(symbolFrequencies, symbols_);
  Build(distanceFrequencies, distances_);
  std::array<std::uint32_t, kLh5LengthSymbolCount> lengthSymbolFrequencies{};
  if (symbols_.single < 0) {
    ForEachLengthSymbol(symbols_.lengths.data(), [&](int symbol, int, unsigned) {
      ++lengthSymbolFrequencies[static_cast<std::size_t>(symbol)];
      return true;
    });
  }
  Build(lengthSymbolFrequencies, lengthSymbols_);

  for (int symbol = 0; symbol < kLh5SymbolCount; ++symbol) {
    const std::uint32_t count = symbolFrequencies[static_cast<std::size_t>(symbol)];
    symbolUsed_[static_cast<std::size_t>(symbol)] = count != 0;
    tokenBits_ += std::uint64_t{count} * symbols_.lengths[static_cast<std::size_t>(symbol)];
  }
  for (int distanceClass = 0; distanceClass < kLh5DistanceClassCount; ++distanceClass) {
    const std::uint32_t count = distanceFrequencies[static_cast<std::size_t>(distanceClass)];
    distanceUsed_[static_cast<std::size_t>(distanceClass)] = count != 0;
    tokenBits_ += std::uint64_t{count} * static_cast<unsigned>(DistanceBits(distanceClass));
  }
  std::array<std::uint8_t, kTableScratchBytes> scratch;
  BitWriter tableBits;
  tableBits.Start(scratch.data(), kTableScratchBytes);
  WriteTables(tableBits, static_cast<unsigned>(tokens.size()));
  tableBits_ = tableBits.bitCount();
}

int Lh5BlockCode::DistanceBits(int distanceClass) const {
  return distances_.lengths[static_cast<std::size_t>(distanceClass)] + ExtraBits(distanceClass);
}

bool Lh5BlockCode::WriteTables(BitWriter& bits, unsigned tokenCount) const {
  if (!bits.PutBits(kLh5TokenCountBits, tokenCount)) return false;
  if (symbols_.single >= 0) {
    if (!WriteSingleCode(bits, kLh5LengthSymbolCountBits, 0) ||
        !WriteSingleCode(bits, kLh5SymbolCountBits, static_cast<unsigned>(symbols_.single))) {
      return false;
    }
  } else {
    const bool lengthTable =
        lengthSymbols_.single >= 0
            ? WriteSingleCode(bits, kLh5LengthSymbolCountBits,
                              static_cast<unsigned>(lengthSymbols_.single))
            : WriteSmallTable(bits, lengthSymbols_.lengths.data(), kLh5LengthSymbolCount,
                              kLh5LengthSymbolCountBits, kLh5SkipFieldPosition);
    if (!lengthTable || !WriteSymbolLengths(bits, symbols_.lengths.data(),
                                            lengthSymbols_.lengths.data(),
                                            lengthSymbols_.codes.data())) {
      return false;
    }
  }
  return distances_.single >= 0
             ? WriteSingleCode(bits, kLh5DistanceClassCountBits,
                               static_cast<unsigned>(distances_.single))
             : WriteSmallTable(bits, distances_.lengths.data(), kLh5DistanceClassCount,
                               kLh5DistanceClassCountBits, kLh5NoSkipField);
}

bool Lh5BlockCode::Write(BitWriter& bits, std::span<const Lh5Token> tokens) const {
  if (!WriteTables(bits, static_cast<unsigned>(tokens.size()))) return false;
  for (const Lh5Token& token : tokens) {
    if (!bits.PutBits(symbols_.lengths[token.symbol], symbols_.codes[token.symbol])) return false;
    if (token.IsMatch() && !WriteDistance(bits, distances_.lengths.data(),
                                          distances_.codes.data(), token.distanceCode)) {
      return false;
    }
  }
  return true;
}

}  // namespace krelt
