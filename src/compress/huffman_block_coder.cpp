#include "compress/huffman_block_coder.h"

#include <span>

namespace krelt {

void HuffmanBlockCoder::StartBlocks(std::uint8_t* output, std::uint32_t limit) {
  bits_.Start(output, limit);
  ClearBlock();
}

bool HuffmanBlockCoder::FinishBlocks() { return WriteBlock() && bits_.Flush(); }

// Opens a group of eight tokens behind a new flag byte, first writing the
// buffer out as a block when a full group might not fit.
bool HuffmanBlockCoder::StartGroup() {
  if (packedBytes_ >= kGroupStartLimit) {
    if (!WriteBlock()) return false;
    ClearBlock();
  }
  ++packedBytes_;
  return true;
}

void HuffmanBlockCoder::ClearBlock() {
  tokenCount_ = 0;
  packedBytes_ = 0;
  symbolFrequencies_.fill(0);
  distanceFrequencies_.fill(0);
}

template <std::size_t kCount>
void HuffmanBlockCoder::BuildCode(std::array<std::uint16_t, 2 * kCount - 1>& frequencies,
                                  Lh5Code<kCount>& code) {
  constexpr int kSymbols = static_cast<int>(kCount);
  const int root =
      tree_.Build(kSymbols, frequencies.data(), code.lengths.data(), code.codes.data());
  code.single = root < kSymbols ? root : -1;
}

bool HuffmanBlockCoder::WriteBlock() {
  BuildCode(symbolFrequencies_, codes_.symbols);
  if (codes_.symbols.single < 0) {
    lengthSymbolFrequencies_.fill(0);
    CountLengthSymbols(codes_.symbols.lengths.data(), lengthSymbolFrequencies_.data());
    BuildCode(lengthSymbolFrequencies_, codes_.lengthSymbols);
  }
  BuildCode(distanceFrequencies_, codes_.distanceClasses);
  return WriteLh5Block(bits_, codes_, std::span(tokens_.data(), tokenCount_));
}

}  // namespace krelt
