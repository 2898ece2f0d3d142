// Compresses the input and decodes the stream: the stream must fit
// MaxCompressedSize and decode to the input exactly.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"
#include "compress/tfp_format.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  krelt::TfpEncoder encoder;
  std::vector<std::uint8_t> stream;
  krelt::fuzz::Require(encoder.Compress(input, stream).ok(), "Compress succeeds");
  krelt::fuzz::Require(stream.size() <= krelt::MaxCompressedSize(size),
                       "stream within MaxCompressedSize");
  if (size == 0) {
    krelt::fuzz::Require(stream.empty(), "empty input gives an empty stream");
    return 0;
  }
  std::vector<std::uint8_t> decoded;
  krelt::fuzz::Require(krelt::TfpDecoder::Decode(stream, decoded).ok(),
                       "the stream decodes");
  krelt::fuzz::Require(
      decoded.size() == size &&
          std::equal(decoded.begin(), decoded.end(), input.begin()),
      "the round trip gives back the input");
  return 0;
}
