#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/status.h"

namespace krelt {

struct Lh5Tables;

// Decodes the coded data of one chunk: lh5 blocks (static Huffman codes per
// block, 8 KiB window) back into its raw bytes. Holds the code tables, so
// one decoder serves many chunks without reallocating.
class Lh5Decoder {
 public:
  Lh5Decoder();
  ~Lh5Decoder();
  Lh5Decoder(const Lh5Decoder&) = delete;
  Lh5Decoder& operator=(const Lh5Decoder&) = delete;

  // Fills output exactly from coded. Fails when the data ends early, yields
  // more or fewer bytes than output holds, holds an invalid code table, or a
  // match reaches before the start of output. Error messages name the block
  // (counted from 1) and the fault.
  Status DecodeChunk(std::span<const std::uint8_t> coded,
                     std::span<std::uint8_t> output);

 private:
  std::unique_ptr<Lh5Tables> tables_;
};

}  // namespace krelt
