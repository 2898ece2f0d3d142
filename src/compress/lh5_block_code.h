#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "compress/bit_writer.h"
#include "compress/lh5_block_writer.h"
#include "compress/lh5_format.h"

namespace krelt {

// The codes of one block, chosen for its tokens: code lengths of at most 16
// bits that make the block as small as it can be, tables included.
class Lh5BlockCode {
 public:
  explicit Lh5BlockCode(std::span<const Lh5Token> tokens);

  // Size of the whole block in bits: token count, tables and tokens.
  std::uint64_t BlockBits() const { return tableBits_ + tokenBits_; }

  // Writes the block: token count, tables, then the tokens, which must be
  // the ones the code was built for.
  bool Write(BitWriter& bits, std::span<const Lh5Token> tokens) const {
    return WriteLh5Block(bits, codes_, tokens);
  }

  // Code length of a symbol; 0 for one that takes no bits or is unused.
  int SymbolLength(int symbol) const {
    return codes_.symbols.lengths[static_cast<std::size_t>(symbol)];
  }
  // Bits a distance class takes: its code and its extra bits.
  int DistanceBits(int distanceClass) const;
  bool UsesSymbol(int symbol) const { return symbolUsed_[static_cast<std::size_t>(symbol)]; }
  bool UsesDistanceClass(int distanceClass) const {
    return distanceUsed_[static_cast<std::size_t>(distanceClass)];
  }

 private:
  template <std::size_t kCount>
  static void Build(const std::array<std::uint32_t, kCount>& frequencies, Lh5Code<kCount>& code);

  Lh5BlockCodes codes_;
  std::array<bool, kLh5SymbolCount> symbolUsed_{};
  std::array<bool, kLh5DistanceClassCount> distanceUsed_{};
  std::uint64_t tableBits_ = 0;
  std::uint64_t tokenBits_ = 0;
};

}  // namespace krelt
