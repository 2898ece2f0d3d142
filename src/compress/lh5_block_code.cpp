#include "compress/lh5_block_code.h"

#include "compress/length_limited_code.h"

namespace krelt {
namespace {

// Room for the tables of any block: 16 + 5 + 19 * 16 + 2 + 9 + 510 * 25 +
// 4 + 14 * 16 bits.
constexpr std::uint32_t kTableScratchBytes = 2048;

}  // namespace

template <std::size_t kCount>
void Lh5BlockCode::Build(const std::array<std::uint32_t, kCount>& frequencies,
                         Lh5Code<kCount>& code) {
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
  CountTokenSymbols(tokens, symbolFrequencies, distanceFrequencies);
  Build(symbolFrequencies, codes_.symbols);
  Build(distanceFrequencies, codes_.distanceClasses);
  std::array<std::uint32_t, kLh5LengthSymbolCount> lengthSymbolFrequencies{};
  if (codes_.symbols.single < 0) {
    CountLengthSymbols(codes_.symbols.lengths.data(), lengthSymbolFrequencies.data());
  }
  Build(lengthSymbolFrequencies, codes_.lengthSymbols);

  for (int symbol = 0; symbol < kLh5SymbolCount; ++symbol) {
    const std::uint32_t count = symbolFrequencies[static_cast<std::size_t>(symbol)];
    symbolUsed_[static_cast<std::size_t>(symbol)] = count != 0;
    tokenBits_ += std::uint64_t{count} * codes_.symbols.lengths[static_cast<std::size_t>(symbol)];
  }
  for (int distanceClass = 0; distanceClass < kLh5DistanceClassCount; ++distanceClass) {
    const std::uint32_t count = distanceFrequencies[static_cast<std::size_t>(distanceClass)];
    distanceUsed_[static_cast<std::size_t>(distanceClass)] = count != 0;
    tokenBits_ += std::uint64_t{count} * static_cast<unsigned>(DistanceBits(distanceClass));
  }
  std::array<std::uint8_t, kTableScratchBytes> scratch;
  BitWriter tableBits;
  tableBits.Start(scratch.data(), kTableScratchBytes);
  WriteLh5Tables(tableBits, codes_, static_cast<unsigned>(tokens.size()));
  tableBits_ = tableBits.bitCount();
}

int Lh5BlockCode::DistanceBits(int distanceClass) const {
  return codes_.distanceClasses.lengths[static_cast<std::size_t>(distanceClass)] +
         Lh5DistanceExtraBits(distanceClass);
}

}  // namespace krelt
