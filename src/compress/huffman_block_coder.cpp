#include "compress/huffman_block_coder.h"

namespace krelt {
namespace {

// Field widths of the block layout.
constexpr int kTokenCountBits = 16;
constexpr int kLengthSymbolCountBits = 5;
constexpr int kSymbolCountBits = 9;
constexpr int kDistanceClassCountBits = 4;
constexpr int kZeroRunBits = 4;       // run of 3-18 zero lengths
constexpr int kLongZeroRunBits = 9;   // run of 20 or more zero lengths
// In the code-length table, a 2-bit field after the third length tells how
// many of the lengths 3, 4 and 5 are zero and skipped.
constexpr int kSkipFieldPosition = 3;
constexpr int kNoSkipField = -1;

// Number of entries up to and including the last non-zero length.
int UsedCount(const std::uint8_t* lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

}  // namespace

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
  if (!bits_.PutBits(kTokenCountBits, tokenCount)) return false;
  if (root >= kSymbolCount) {
    CountLengthSymbols();
    if (!WriteLengthSymbolTable() || !WriteSymbolLengths()) return false;
  } else {
    // One symbol only: empty code-length table, then the symbol itself.
    const bool written = bits_.PutBits(kLengthSymbolCountBits, 0) &&
                         bits_.PutBits(kLengthSymbolCountBits, 0) &&
                         bits_.PutBits(kSymbolCountBits, 0) &&
                         bits_.PutBits(kSymbolCountBits, static_cast<unsigned>(root));
    if (!written) return false;
  }
  if (!WriteDistanceTable() || !WriteTokens(tokenCount)) return false;
  symbolFrequencies_.fill(0);
  distanceFrequencies_.fill(0);
  return true;
}

// Walks the symbol code lengths as code-length symbols, handing each with
// its extra field (width, value) to emit; stops when emit returns false.
template <typename Emit>
bool HuffmanBlockCoder::ForEachLengthSymbol(Emit emit) const {
  const int count = UsedCount(symbolLengths_.data(), kSymbolCount);
  int i = 0;
  while (i < count) {
    const int length = symbolLengths_[i++];
    if (length != 0) {
      if (!emit(length + 2, 0, 0u)) return false;
      continue;
    }
    int run = 1;
    while (i < count && symbolLengths_[i] == 0) {
      ++i;
      ++run;
    }
    bool emitted;
    if (run <= 2) {
      emitted = emit(0, 0, 0u) && (run == 1 || emit(0, 0, 0u));
    } else if (run <= 18) {
      emitted = emit(1, kZeroRunBits, static_cast<unsigned>(run - 3));
    } else if (run == 19) {
      emitted = emit(0, 0, 0u) && emit(1, kZeroRunBits, 15u);
    } else {
      emitted = emit(2, kLongZeroRunBits, static_cast<unsigned>(run - 20));
    }
    if (!emitted) return false;
  }
  return true;
}

void HuffmanBlockCoder::CountLengthSymbols() {
  lengthSymbolFrequencies_.fill(0);
  ForEachLengthSymbol([this](int symbol, int, unsigned) {
    ++lengthSymbolFrequencies_[symbol];
    return true;
  });
}

bool HuffmanBlockCoder::WriteLengthSymbolTable() {
  const int root = tree_.Build(kLengthSymbolCount, lengthSymbolFrequencies_.data(),
                               smallLengths_.data(), smallCodes_.data());
  if (root >= kLengthSymbolCount) {
    return WriteSmallTable(kLengthSymbolCount, kLengthSymbolCountBits,
                           kSkipFieldPosition);
  }
  return bits_.PutBits(kLengthSymbolCountBits, 0) &&
         bits_.PutBits(kLengthSymbolCountBits, static_cast<unsigned>(root));
}

bool HuffmanBlockCoder::WriteDistanceTable() {
  const int root = tree_.Build(kDistanceClassCount, distanceFrequencies_.data(),
                               smallLengths_.data(), smallCodes_.data());
  if (root >= kDistanceClassCount) {
    return WriteSmallTable(kDistanceClassCount, kDistanceClassCountBits,
                           kNoSkipField);
  }
  return bits_.PutBits(kDistanceClassCountBits, 0) &&
         bits_.PutBits(kDistanceClassCountBits, static_cast<unsigned>(root));
}

// Lengths up to 6 take 3 bits; longer ones are 111 followed by length - 7
// one bits and a zero bit.
bool HuffmanBlockCoder::WriteSmallTable(int count, int countBits, int skipAfter) {
  count = UsedCount(smallLengths_.data(), count);
  if (!bits_.PutBits(countBits, static_cast<unsigned>(count))) return false;
  int i = 0;
  while (i < count) {
    const int length = smallLengths_[i++];
    const bool written =
        length <= 6 ? bits_.PutBits(3, static_cast<unsigned>(length))
                    : bits_.PutBits(length - 3, (1u << (length - 3)) - 2);
    if (!written) return false;
    if (i == skipAfter) {
      while (i < 6 && smallLengths_[i] == 0) ++i;
      if (!bits_.PutBits(2, static_cast<unsigned>(i - 3))) return false;
    }
  }
  return true;
}

bool HuffmanBlockCoder::WriteSymbolLengths() {
  const int count = UsedCount(symbolLengths_.data(), kSymbolCount);
  if (!bits_.PutBits(kSymbolCountBits, static_cast<unsigned>(count))) return false;
  return ForEachLengthSymbol([this](int symbol, int extraBits, unsigned extra) {
    return PutLengthSymbol(symbol) &&
           (extraBits == 0 || bits_.PutBits(extraBits, extra));
  });
}

bool HuffmanBlockCoder::EncodeDistance(unsigned distanceCode) {
  const int distanceClass = std::bit_width(distanceCode);
  if (!bits_.PutBits(smallLengths_[distanceClass], smallCodes_[distanceClass])) {
    return false;
  }
  // The bits below the top bit follow the class code.
  return distanceClass <= 1 ||
         bits_.PutBits(distanceClass - 1,
                       distanceCode & (0xFFFFu >> (17 - distanceClass)));
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
      if (!EncodeSymbol(symbol) || !EncodeDistance(distanceCode)) return false;
    } else if (!EncodeSymbol(tokens_[position++])) {
      return false;
    }
  }
  return true;
}

}  // namespace krelt
