#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "compress/chunk_coder.h"
#include "compress/lh5_block_code.h"
#include "compress/optimal_parser.h"
#include "compress/tfp_format.h"

namespace krelt {

// Codes chunks as small as the lh5 block layout allows, for the same
// decoders as ChunkCoder: every match candidate of 3 to 256 bytes within the
// window, a shortest-path parse priced by the code lengths of the previous
// pass, several blocks where that is smaller, and optimal code lengths. A
// chunk never comes out longer than ChunkCoder makes it. Several times
// slower than ChunkCoder; allocate it on the heap.
class OptimalChunkCoder {
 public:
  // Same contract as ChunkCoder::EncodeChunk.
  std::optional<std::uint32_t> EncodeChunk(std::uint8_t* codedOut,
                                           const std::uint8_t* chunkIn,
                                           std::uint32_t chunkLength);

 private:
  using Tokens = std::vector<Lh5Token>;

  // Parses [begin, end) again, priced by the code of the best tokens so
  // far, while that makes the block smaller (a few rounds at most); starts
  // from `tokens` and their `code`, replaces `tokens` and returns their code.
  Lh5BlockCode ImproveParse(std::uint32_t begin, std::uint32_t end, Tokens& tokens,
                            Lh5BlockCode code);
  void SplitIntoBlocks(const Tokens& tokens, std::uint64_t singleBits);
  std::optional<std::uint32_t> WriteBlocks(std::uint8_t* out, std::uint32_t limit);

  const std::uint8_t* chunk_ = nullptr;
  std::uint32_t length_ = 0;
  ChunkCoder defaultCoder_;
  OptimalParser parser_;
  std::vector<Tokens> blocks_;
  std::array<std::uint8_t, kTfpMaxChunkLength> scratch_{};
};

}  // namespace krelt
