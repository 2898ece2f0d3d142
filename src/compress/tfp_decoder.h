#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"

namespace krelt {

class WorkerPool;

// Decodes a whole COMPRESS_Tfp stream. Every field, length and CRC-16 is
// checked; a malformed stream gives an error naming the chunk and the fault
// (the first one in stream order, whatever the thread count).
class TfpDecoder {
 public:
  // On success output holds the decoded bytes; on failure it is empty. With
  // a pool, the chunks are checked and decoded on its threads.
  static Status Decode(std::span<const std::uint8_t> stream,
                       std::vector<std::uint8_t>& output, WorkerPool* pool = nullptr);
};

}  // namespace krelt
