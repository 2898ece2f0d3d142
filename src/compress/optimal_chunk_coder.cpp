#include "compress/optimal_chunk_coder.h"

#include <algorithm>
#include <cstring>

#include "compress/block_splitter.h"

namespace krelt {
namespace {

constexpr int kChunkParseRounds = 4;
constexpr int kBlockParseRounds = 3;
// A round that saves less than this share of the bits is the last: the
// next would save still less.
constexpr std::uint64_t kWorthAnotherRound = 64;

}  // namespace

Lh5BlockCode OptimalChunkCoder::ImproveParse(std::uint32_t begin, std::uint32_t end,
                                             Tokens& tokens, Lh5BlockCode code) {
  const int rounds = begin == 0 && end == length_ ? kChunkParseRounds : kBlockParseRounds;
  Tokens trial;
  for (int round = 0; round < rounds; ++round) {
    parser_.Parse(begin, end, Lh5Prices(code), trial);
    Lh5BlockCode trialCode(trial);
    if (trialCode.BlockBits() >= code.BlockBits()) break;
    const bool worthAnother = code.BlockBits() - trialCode.BlockBits() >= code.BlockBits() / kWorthAnotherRound;
    tokens.swap(trial);
    code = trialCode;
    if (!worthAnother) break;
  }
  return code;
}

// Writes the blocks and pads to a byte. Some decoders stop early when the
// data end on a byte boundary right after a match whose distance takes no
// bits; such an ending is avoided by sending the match's last byte as a
// literal.
std::optional<std::uint32_t> OptimalChunkCoder::WriteBlocks(std::uint8_t* out,
                                                            std::uint32_t limit) {
  while (true) {
    BitWriter bits;
    bits.Start(out, limit);
    const Lh5BlockCode* lastCode = nullptr;
    std::optional<Lh5BlockCode> code;
    for (const Tokens& block : blocks_) {
      code.emplace(block);
      if (!code->Write(bits, block)) return std::nullopt;
      lastCode = &*code;
    }
    Tokens& lastBlock = blocks_.back();
    const Lh5Token last = lastBlock.back();
    const bool silentEnd = bits.bitCount() % 8 == 0 && last.IsMatch() &&
                           lastCode->DistanceBits(last.DistanceClass()) == 0;
    if (!silentEnd) {
      if (!bits.Flush()) return std::nullopt;
      return bits.count();
    }
    const int length = last.Length();
    const std::uint8_t finalByte = chunk_[length_ - 1];
    lastBlock.pop_back();
    if (length > kLh5MinMatch) {
      lastBlock.push_back(Lh5Token::Match(length - 1, last.distanceCode + 1));
    } else {
      for (int i = kLh5MinMatch; i > 1; --i) {
        lastBlock.push_back(Lh5Token::Literal(chunk_[length_ - static_cast<std::uint32_t>(i)]));
      }
    }
    lastBlock.push_back(Lh5Token::Literal(finalByte));
  }
}

// Cuts the chunk's tokens into blocks where that is smaller than the one
// block of singleBits, then parses each block again, priced by its own codes.
void OptimalChunkCoder::SplitIntoBlocks(const Tokens& tokens, std::uint64_t singleBits) {
  blocks_.clear();
  std::vector<Lh5BlockCode> codes;
  std::uint64_t splitBits = 0;
  std::size_t first = 0;
  for (const std::size_t end : ChooseBlockEnds(tokens)) {
    blocks_.emplace_back(tokens.begin() + static_cast<std::ptrdiff_t>(first),
                         tokens.begin() + static_cast<std::ptrdiff_t>(end));
    splitBits += codes.emplace_back(blocks_.back()).BlockBits();
    first = end;
  }
  if (blocks_.size() == 1 || splitBits >= singleBits) {
    blocks_.assign(1, tokens);
    return;
  }
  std::uint32_t byte = 0;
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    std::uint32_t blockEnd = byte;
    for (const Lh5Token& token : blocks_[i]) blockEnd += static_cast<std::uint32_t>(token.Length());
    ImproveParse(byte, blockEnd, blocks_[i], std::move(codes[i]));
    byte = blockEnd;
  }
}

std::optional<std::uint32_t> OptimalChunkCoder::EncodeChunk(std::uint8_t* codedOut,
                                                            const std::uint8_t* chunkIn,
                                                            std::uint32_t chunkLength) {
  chunk_ = chunkIn;
  length_ = chunkLength;
  // The default form is the size to beat; its tokens price the first parse.
  Tokens tokens;
  const std::optional<std::uint32_t> defaultLength =
      defaultCoder_.EncodeChunk(codedOut, chunkIn, chunkLength, &tokens);
  if (!defaultLength) {
    // Coding stopped early: the chunk is priced as literals.
    tokens.clear();
    for (std::uint32_t i = 0; i < chunkLength; ++i) tokens.push_back(Lh5Token::Literal(chunkIn[i]));
  }
  parser_.Index(chunkIn, chunkLength);
  const Lh5BlockCode chunkCode = ImproveParse(0, length_, tokens, Lh5BlockCode(tokens));
  SplitIntoBlocks(tokens, chunkCode.BlockBits());
  const std::uint32_t limit = defaultLength.value_or(chunkLength);
  const std::optional<std::uint32_t> optimalLength = WriteBlocks(scratch_.data(), limit);
  if (!optimalLength || *optimalLength >= limit) return defaultLength;
  std::memcpy(codedOut, scratch_.data(), *optimalLength);
  return optimalLength;
}

}  // namespace krelt
