#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "compress/bit_writer.h"
#include "compress/huffman_tree.h"
#include "compress/lh5_format.h"

namespace krelt {

// Collects literal and match tokens and writes them as blocks in the lh5
// layout: token count, code tables, coded tokens. A block is written each time
// the token buffer fills and once more when the chunk ends.
class HuffmanBlockCoder {
 public:
  static constexpr int kSymbolCount = kLh5SymbolCount;
  static constexpr unsigned kFirstMatchSymbol = kLh5FirstMatchSymbol;
  static constexpr int kDistanceClassCount = kLh5DistanceClassCount;
  static constexpr int kLengthSymbolCount = kLh5LengthSymbolCount;
  static constexpr std::size_t kTokenBufferSize = 16384;
  // A group is a flag byte and eight tokens of at most three bytes each.
  static constexpr std::size_t kMaxGroupBytes = 1 + 3 * 8;
  // A new group starts only below this.
  static constexpr std::size_t kGroupStartLimit = kTokenBufferSize - 3 * 8;
  // The largest distance code (window size - 1) and the largest match symbol.
  static constexpr unsigned kMaxDistanceCode = kLh5WindowSize - 1;
  static constexpr unsigned kMaxMatchSymbol = kSymbolCount - 1;

  // A group started at the last position below the limit still fits.
  static_assert(kGroupStartLimit - 1 + kMaxGroupBytes <= kTokenBufferSize);
  // Every token takes at least one buffer byte, so a block holds fewer
  // tokens than the buffer has bytes. The block's token count field and the
  // 16-bit frequencies (whose tree root is that count) must hold it.
  static_assert(kTokenBufferSize - 1 <= 0xFFFF);
  // A match is stored as its symbol less 256 in one byte and its distance
  // code in two; the distance class (bit width) must have a code.
  static_assert(kMaxMatchSymbol - kFirstMatchSymbol <= 0xFF);
  static_assert(kMaxDistanceCode <= 0xFFFF);
  static_assert(std::bit_width(kMaxDistanceCode) < kDistanceClassCount);

  // Opens a chunk whose coded bytes go to output, at most limit of them.
  void StartBlocks(std::uint8_t* output, std::uint32_t limit);

  // Appends a literal (symbol < 256, distanceCode 0) or a match (symbol =
  // length + 253, distanceCode = distance - 1). Returns false when a full
  // buffer had to be written and the output ran out of room.
  bool AddToken(unsigned symbol, unsigned distanceCode) {
    flagMask_ >>= 1;
    if (flagMask_ == 0 && !StartGroup()) return false;
    tokens_[tokenPosition_++] = static_cast<std::uint8_t>(symbol);
    ++symbolFrequencies_[symbol];
    if (symbol >= kFirstMatchSymbol) {
      tokens_[flagPosition_] |= static_cast<std::uint8_t>(flagMask_);
      tokens_[tokenPosition_++] = static_cast<std::uint8_t>(distanceCode >> 8);
      tokens_[tokenPosition_++] = static_cast<std::uint8_t>(distanceCode);
      ++distanceFrequencies_[std::bit_width(distanceCode)];
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
  bool WriteBlock();
  void CountLengthSymbols();
  bool WriteLengthSymbolTable();
  bool WriteSymbolLengths();
  bool WriteDistanceTable();
  bool WriteTokens(unsigned tokenCount);
  bool EncodeSymbol(unsigned symbol) {
    return bits_.PutBits(symbolLengths_[symbol], symbolCodes_[symbol]);
  }

  BitWriter bits_;
  HuffmanTree tree_;
  std::array<std::uint8_t, kTokenBufferSize> tokens_{};
  std::size_t tokenPosition_ = 0;
  std::size_t flagPosition_ = 0;
  unsigned flagMask_ = 0;  // bit of the flag byte the next token takes

  std::array<std::uint16_t, 2 * kSymbolCount - 1> symbolFrequencies_{};
  std::array<std::uint8_t, kSymbolCount> symbolLengths_{};
  std::array<std::uint16_t, kSymbolCount> symbolCodes_{};
  std::array<std::uint16_t, 2 * kDistanceClassCount - 1> distanceFrequencies_{};
  std::array<std::uint16_t, 2 * kLengthSymbolCount - 1> lengthSymbolFrequencies_{};
  // Shared by the code-length alphabet and the distance classes: holds
  // whichever of the two tables was built last.
  std::array<std::uint8_t, kLengthSymbolCount> smallLengths_{};
  std::array<std::uint16_t, kLengthSymbolCount> smallCodes_{};
};

}  // namespace krelt
