#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/cancellation.h"

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

  // Writes the stream of input[0, inputLength) to output, which must hold
  // MaxCompressedSize(inputLength) bytes, and its length to *outputLength.
  // An empty input gives success and length 0. Returns false, with output
  // untouched, when the work buffers cannot be obtained or the length is
  // negative or above kTfpMaxInputLength, whose worst-case stream is the
  // longest that *outputLength can hold.
  bool Compress(const std::uint8_t* input, std::int32_t inputLength,
                std::uint8_t* output, std::int32_t* outputLength);

  // Same, into a vector sized by MaxCompressedSize and trimmed to the
  // stream. Returns false, with stream untouched, when the input is too
  // long for one stream, memory runs out or watch.cancel was set.
  bool Compress(std::span<const std::uint8_t> input,
                std::vector<std::uint8_t>& stream, const ChunkWatch& watch = {});

 private:
  WorkerPool* pool_;
  CompressionLevel level_;
};

}  // namespace krelt
