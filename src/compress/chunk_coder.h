#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "compress/huffman_block_coder.h"
#include "compress/lh5_format.h"
#include "compress/lzss_dictionary.h"

namespace krelt {

// The work state of one Compress call: match finder and block coder, reused
// for every chunk. About 520 KB; allocate it on the heap.
class ChunkCoder {
 public:
  // Codes the chunk (1 to 32762 bytes) into codedOut, which has room for
  // chunkLength bytes. Returns the coded length, or nothing when the coded
  // form would need more than chunkLength bytes; the bytes written to
  // codedOut are then meaningless. With tokens, it receives the chunk's
  // tokens as far as coding got.
  std::optional<std::uint32_t> EncodeChunk(std::uint8_t* codedOut,
                                           const std::uint8_t* chunkIn,
                                           std::uint32_t chunkLength,
                                           std::vector<Lh5Token>* tokens = nullptr);

 private:
  LzssDictionary dictionary_;
  HuffmanBlockCoder blocks_;
};

}  // namespace krelt
