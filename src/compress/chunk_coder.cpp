#include "compress/chunk_coder.h"

namespace krelt {

std::optional<std::uint32_t> ChunkCoder::EncodeChunk(std::uint8_t* codedOut,
                                                     const std::uint8_t* chunkIn,
                                                     std::uint32_t chunkLength,
                                                     std::vector<Lh5Token>* tokens) {
  blocks_.StartBlocks(codedOut, chunkLength);
  dictionary_.Start(chunkIn, chunkLength);
  while (!dictionary_.Finished()) {
    const Lh5Token token = dictionary_.NextToken();
    if (tokens != nullptr) tokens->push_back(token);
    if (!blocks_.AddToken(token)) return std::nullopt;
  }
  if (!blocks_.FinishBlocks()) return std::nullopt;
  return blocks_.OutputCount();
}

}  // namespace krelt
