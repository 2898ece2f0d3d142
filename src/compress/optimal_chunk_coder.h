#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "compress/chunk_coder.h"
#include "compress/lh5_block_code.h"
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
  // A match candidate: the nearest distance at which `length` bytes match.
  struct Candidate {
    std::uint16_t length;
    std::uint16_t distance;
  };
  using Tokens = std::vector<Lh5Token>;

  void FindCandidates();
  void ExtendLongest(std::uint32_t position, int matchLimit, Candidate previousLongest);
  // Shortest path over bytes [begin, end) priced by the code of `prices`.
  void Parse(std::uint32_t begin, std::uint32_t end, const Lh5BlockCode& prices,
             Tokens& tokens);
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
  std::vector<std::uint32_t> candidateStart_;  // per position, into candidates_
  std::vector<Candidate> candidates_;
  std::vector<std::int32_t> hashHead_;
  std::vector<std::int32_t> children_;  // per position: smaller, greater
  std::vector<std::uint32_t> pathCost_;
  std::vector<Lh5Token> pathStep_;
  std::vector<Tokens> blocks_;
  std::array<std::uint8_t, kTfpMaxChunkLength> scratch_{};
};

}  // namespace krelt
