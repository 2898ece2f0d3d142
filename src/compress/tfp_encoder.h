#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/cancellation.h"
#include "common/status.h"

namespace krelt {

class WorkerPool;

// How hard the encoder works. kDefault gives the established bytes; kMax
// gives streams for the same decoders that are never larger and mostly
// smaller, several times slower.
enum class CompressionLevel { kDefault, kMax };

// Watches one Compress call: told of every chunk coded (its input length,
// from whichever thread coded it), and stopping the call before the next
// chunk once cancel is set.
struct ChunkWatch {
  std::function<void(std::size_t inputLength)> chunkCoded;
  const CancellationToken* cancel = nullptr;
};

// Compresses bytes into the COMPRESS_Tfp stream. Work buffers live only for
// the duration of one Compress call. Every chunk starts with an empty
// window, so with a pool the chunks of one stream are coded on several
// threads at once; the stream's bytes do not depend on the thread count.
class TfpEncoder {
 public:
  // Without a pool every chunk is coded on the calling thread.
  explicit TfpEncoder(WorkerPool* pool = nullptr,
                      CompressionLevel level = CompressionLevel::kDefault);
  virtual ~TfpEncoder();
  TfpEncoder(const TfpEncoder&) = delete;
  TfpEncoder& operator=(const TfpEncoder&) = delete;

  // Writes the stream of input into stream, replacing what it held; an
  // empty input gives an empty stream. Fails, with stream untouched, as
  // kTooLarge when the input is longer than kTfpMaxInputLength, kOutOfMemory
  // when memory for the work runs out, or kCancelled when watch.cancel was
  // set. Messages are short fragments for the caller to prefix.
  Status Compress(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& stream,
                  const ChunkWatch& watch = {});

 private:
  WorkerPool* pool_;
  CompressionLevel level_;
};

}  // namespace krelt
