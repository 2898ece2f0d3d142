#pragma once

#include <array>
#include <cstdint>

#include "compress/bit_writer.h"
#include "compress/huffman_tree.h"
#include "compress/lh5_block_writer.h"
#include "compress/lh5_format.h"

namespace krelt {

// Collects a chunk's tokens and writes them as lh5 blocks with the codes of
// HuffmanTree. Where blocks end is fixed by the token buffer of the
// established coder: tokens are packed in groups of eight behind a flag
// byte, a literal taking one byte and a match three, and a block is written
// whenever a group would start at or past kGroupStartLimit bytes, and once
// more when the chunk ends. So every block but the last holds a multiple of
// eight tokens.
class HuffmanBlockCoder {
 public:
  static constexpr std::size_t kTokenBufferSize = 16384;
  static constexpr std::size_t kGroupTokens = 8;
  static constexpr std::size_t kMatchBytes = 3;  // symbol - 256, distance code
  // A group is a flag byte and eight tokens of at most three bytes each.
  static constexpr std::size_t kMaxGroupBytes = 1 + kMatchBytes * kGroupTokens;
  // A new group starts only below this.
  static constexpr std::size_t kGroupStartLimit = kTokenBufferSize - kMatchBytes * kGroupTokens;

  // A group started at the last position below the limit still fits.
  static_assert(kGroupStartLimit - 1 + kMaxGroupBytes <= kTokenBufferSize);
  // Every token takes at least one buffer byte, so a block holds fewer
  // tokens than the buffer has bytes. The block's token count field and the
  // 16-bit frequencies (whose tree root is that count) must hold it.
  static_assert(kTokenBufferSize - 1 <= 0xFFFF);

  // Opens a chunk whose coded bytes go to output, at most limit of them.
  void StartBlocks(std::uint8_t* output, std::uint32_t limit);

  // Appends a token. Returns false when a full buffer had to be written and
  // the output ran out of room.
  bool AddToken(Lh5Token token) {
    if (tokenCount_ % kGroupTokens == 0 && !StartGroup()) return false;
    tokens_[tokenCount_++] = token;
    ++symbolFrequencies_[token.symbol];
    if (token.IsMatch()) {
      ++distanceFrequencies_[static_cast<std::size_t>(token.DistanceClass())];
      packedBytes_ += kMatchBytes;
    } else {
      ++packedBytes_;
    }
    return true;
  }

  // Writes the last block and pads the last byte. Returns false when the
  // output ran out of room.
  bool FinishBlocks();

  // Coded bytes written for the current chunk.
  std::uint32_t OutputCount() const { return bits_.count(); }

 private:
  bool StartGroup();
  void ClearBlock();
  bool WriteBlock();
  template <std::size_t kCount>
  void BuildCode(std::array<std::uint16_t, 2 * kCount - 1>& frequencies, Lh5Code<kCount>& code);

  BitWriter bits_;
  HuffmanTree tree_;
  // The tokens of the block being collected, and the bytes they would take
  // in the packed buffer, flag bytes included.
  std::array<Lh5Token, kTokenBufferSize> tokens_{};
  std::size_t tokenCount_ = 0;
  std::size_t packedBytes_ = 0;

  // Weights of the three alphabets, the first two counted as tokens come
  // in; the entries past each alphabet receive the tree's internal nodes.
  std::array<std::uint16_t, 2 * kLh5SymbolCount - 1> symbolFrequencies_{};
  std::array<std::uint16_t, 2 * kLh5LengthSymbolCount - 1> lengthSymbolFrequencies_{};
  std::array<std::uint16_t, 2 * kLh5DistanceClassCount - 1> distanceFrequencies_{};
  Lh5BlockCodes codes_;
};

}  // namespace krelt
