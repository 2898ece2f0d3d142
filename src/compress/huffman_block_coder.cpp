#include "compress/huffman_block_coder.h"

#include "compress/lh5_table_writer.h"

namespace krelt {

void HuffmanBlockCoder::StartBlocks(std::uint8_t* output, std::uint32_t limit) {
  bits_.Start(output, limit);
  tokenPosition_ = 0;
  flagPosition_ = 0;
  flagMask_ = 0;
  tokens_[0] = 0;
  symbolFrequencies_.fill(0);
  distanceFrequencies_.fill(0);
}

bool HuffmanBlockCoder::FinishBlocks() { return WriteBlock() && bits_.Flush(); }

// Opens a group of eight tokens behind a new flag byte, first writing the
// buffer out as a block when a full group might not fit.
bool HuffmanBlockCoder::StartGroup() {
  flagMask_ = 0x80;
  if (tokenPosition_ >= kGroupStartLimit) {
    if (!WriteBlock()) return false;
    tokenPosition_ = 0;
  }
  flagPosition_ = tokenPosition_++;
  tokens_[flagPosition_] = 0;
  return true;
}

bool HuffmanBlockCoder::WriteBlock() {
  const int root = tree_.Build(kSymbolCount, symbolFrequencies_.data(),
                               symbolLengths_.data(), symbolCodes_.data());
  const unsigned tokenCount = symbolFrequencies_[root];
  if (!bits_.PutBits(kLh5TokenCountBits, tokenCount)) return false;
  if (root >= kSymbolCount) {
    CountLengthSymbols();
    if (!WriteLengthSymbolTable() || !WriteSymbolLengths()) return false;
  } else {
    // One symbol only: empty code-length table, then the symbol itself.
    if (!WriteSingleCode(bits_, kLh5LengthSymbolCountBits, 0) ||
        !WriteSingleCode(bits_, kLh5SymbolCountBits, static_cast<unsigned>(root))) {
      return false;
    }
  }
  if (!WriteDistanceTable() || !WriteTokens(tokenCount)) return false;
  symbolFrequencies_.fill(0);
  distanceFrequencies_.fill(0);
  return true;
}

void HuffmanBlockCoder::CountLengthSymbols() {
  lengthSymbolFrequencies_.fill(0);
  ForEachLengthSymbol(symbolLengths_.data(), [this](int symbol, int, unsigned) {
    ++lengthSymbolFrequencies_[symbol];
    return true;
  });
}

bool HuffmanBlockCoder::WriteLengthSymbolTable() {
  const int root = tree_.Build(kLengthSymbolCount, lengthSymbolFrequencies_.data(),
                               smallLengths_.data(), smallCodes_.data());
  if (root >= kLengthSymbolCount) {
    return WriteSmallTable(bits_, smallLengths_.data(), kLengthSymbolCount,
                           kLh5LengthSymbolCountBits, kLh5SkipFieldPosition);
  }
  return WriteSingleCode(bits_, kLh5LengthSymbolCountBits, static_cast<unsigned>(root));
}

bool HuffmanBlockCoder::WriteDistanceTable() {
  const int root = tree_.Build(kDistanceClassCount, distanceFrequencies_.data(),
                               smallLengths_.data(), smallCodes_.data());
  if (root >= kDistanceClassCount) {
    return WriteSmallTable(bits_, smallLengths_.data(), kDistanceClassCount,
                           kLh5DistanceClassCountBits, kLh5NoSkipField);
  }
  return WriteSingleCode(bits_, kLh5DistanceClassCountBits, static_cast<unsigned>(root));
}

bool HuffmanBlockCoder::WriteSymbolLengths() {
  return krelt::WriteSymbolLengths(bits_, symbolLengths_.data(), smallLengths_.data(),
                                   smallCodes_.data());
}

bool HuffmanBlockCoder::WriteTokens(unsigned tokenCount) {
  std::size_t position = 0;
  unsigned flags = 0;
  for (unsigned i = 0; i < tokenCount; ++i) {
    if (i % 8 == 0) {
      flags = tokens_[position++];
    } else {
      flags <<= 1;
    }
    if ((flags & 0x80) != 0) {
      const unsigned symbol = tokens_[position] + kFirstMatchSymbol;
      const unsigned distanceCode =
          (unsigned{tokens_[position + 1]} << 8) | tokens_[position + 2];
      position += 3;
      if (!EncodeSymbol(symbol) || !WriteDistance(bits_, smallLengths_.data(), smallCodes_.data(), distanceCode)) return false;
    } else if (!EncodeSymbol(tokens_[position++])) {
      return false;
    }
  }
  return true;
}

}  // namespace krelt
