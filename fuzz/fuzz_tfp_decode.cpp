// Decodes the input as a COMPRESS_Tfp stream. A decoded stream must come
// from chunk records actually present: at most 32762 bytes for each 8-byte
// record header the input has room for.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compress/tfp_decoder.h"
#include "compress/tfp_format.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::vector<std::uint8_t> output;
  const krelt::Status status =
      krelt::TfpDecoder::Decode(std::span(data, size), output);
  if (!status.ok()) {
    krelt::fuzz::Require(output.empty(), "a failed decode leaves no output");
    krelt::fuzz::Require(!status.message().empty(), "a failure has a message");
    return 0;
  }
  const std::size_t records =
      size < krelt::kTfpStreamHeaderSize
          ? 0
          : (size - krelt::kTfpStreamHeaderSize) / krelt::kTfpChunkHeaderSize;
  krelt::fuzz::Require(output.size() <= records * krelt::kTfpMaxChunkLength,
                       "decoded bytes bounded by the records present");
  return 0;
}
