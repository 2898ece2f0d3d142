#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace krelt {

// Compresses bytes into the COMPRESS_Tfp stream. Work buffers live only for
// the duration of one Compress call.
class TfpEncoder {
 public:
  TfpEncoder();
  virtual ~TfpEncoder();
  TfpEncoder(const TfpEncoder&) = delete;
  TfpEncoder& operator=(const TfpEncoder&) = delete;

  // Writes the stream of input[0, inputLength) to output, which must hold
  // MaxCompressedSize(inputLength) bytes, and its length to *outputLength.
  // An empty input gives success and length 0. Returns false, with output
  // untouched, when the work buffers cannot be obtained or the length is
  // negative or too long for the 16-bit chunk count.
  bool Compress(const std::uint8_t* input, std::int32_t inputLength,
                std::uint8_t* output, std::int32_t* outputLength);

  // Same, into a vector sized by MaxCompressedSize and trimmed to the
  // stream. Returns false when the input is too long for one stream or
  // memory runs out.
  bool Compress(std::span<const std::uint8_t> input,
                std::vector<std::uint8_t>& stream);
};

}  // namespace krelt
