#include "compress/chunk_coder.h"

namespace krelt {

// The dictionary's tokens fit the block coder's token buffer layout.
static_assert(LzssDictionary::kWindowSize - 1 <= HuffmanBlockCoder::kMaxDistanceCode);
static_assert(LzssDictionary::kMaxMatch + kLh5MatchSymbolOffset <= HuffmanBlockCoder::kMaxMatchSymbol);

std::optional<std::uint32_t> ChunkCoder::EncodeChunk(std::uint8_t* codedOut,
                                                     const std::uint8_t* chunkIn,
                                                     std::uint32_t chunkLength,
                                                     std::vector<Lh5Token>* tokens) {
  blocks_.StartBlocks(codedOut, chunkLength);
  dictionary_.Start(chunkIn, chunkLength);
  LzssToken token;
  while (dictionary_.NextToken(token)) {
    if (tokens != nullptr) {
      tokens->push_back({static_cast<std::uint16_t>(token.symbol),
                         static_cast<std::uint16_t>(token.distanceCode)});
    }
    if (!blocks_.AddToken(token.symbol, token.distanceCode)) return std::nullopt;
  }
  if (!blocks_.FinishBlocks()) return std::nullopt;
  return blocks_.OutputCount();
}

}  // namespace krelt
