#pragma once

#include <array>
#include <cstdint>

#include "compress/lh5_format.h"

namespace krelt {

// Builds length-limited canonical Huffman codes exactly as the established
// coder does, since the default level's bytes depend on every tie and on the
// 16-bit weights. The work arrays are sized for the largest alphabet, the
// literal and length symbols.
class HuffmanTree {
 public:
  // Gives each of the symbolCount symbols a code length (0 for an unused
  // symbol, at most 16) and a code. frequencies needs room for
  // 2 * symbolCount - 1 entries: the entries past symbolCount receive the
  // weights of the internal nodes. Returns the root node; a root below
  // symbolCount means fewer than two symbols occur: that symbol (0 when none
  // does) then has code length 0.
  int Build(int symbolCount, std::uint16_t* frequencies, std::uint8_t* lengths,
            std::uint16_t* codes);

 private:
  void SiftDown(int index);
  void CountDepths(int node, int depth);
  void LimitLengths(int root, const std::uint16_t* leafOrder,
                    std::uint8_t* lengths);

  int symbolCount_ = 0;
  const std::uint16_t* frequencies_ = nullptr;
  int heapSize_ = 0;
  std::array<std::uint16_t, kLh5SymbolCount + 1> heap_{};  // used from index 1
  std::array<std::uint16_t, 2 * kLh5SymbolCount - 1> left_{};
  std::array<std::uint16_t, 2 * kLh5SymbolCount - 1> right_{};
  std::array<std::uint16_t, kLh5MaxCodeLength + 1> lengthCounts_{};
};

}  // namespace krelt
