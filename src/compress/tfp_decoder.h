#pragma once

#include <cstdint>
#include <functional>
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

  // Receives the decoded bytes in stream order, a group of chunks at a time.
  using Sink = std::function<void(std::span<const std::uint8_t>)>;

  // Hands the decoded bytes to sink as they are decoded, so that they need
  // not be held all at once. Only a successful return means the stream was
  // sound: the sink may have had the bytes of the chunks before a fault.
  static Status Decode(std::span<const std::uint8_t> stream, const Sink& sink,
                       WorkerPool* pool = nullptr);
};

}  // namespace krelt
