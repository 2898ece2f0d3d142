// Compresses at the max level and decodes: the stream must decode to the
// input exactly, and no chunk may be longer than at the default level.
// The first byte chooses the input: the bytes as they are, or the rest of
// the data repeated and lightly changed up to a length that the first two
// bytes give, which makes long and overlapping matches across blocks and
// chunks.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"
#include "compress/tfp_format.h"
#include "fuzz_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes StructuredInput(std::span<const std::uint8_t> data) {
  if (data.size() < 3 || data[0] % 2 == 0) return Bytes(data.begin(), data.end());
  const std::size_t length = (std::size_t{data[1]} << 8 | data[2]) * 2;
  const std::span<const std::uint8_t> pattern = data.subspan(3);
  Bytes bytes;
  bytes.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t byte = pattern.empty() ? 0 : pattern[i % pattern.size()];
    if (i % 997 == 0) byte = static_cast<std::uint8_t>(byte + i / 997);
    bytes.push_back(byte);
  }
  return bytes;
}

// Record sizes of a stream in chunk order.
std::vector<std::size_t> RecordSizes(const Bytes& stream) {
  std::vector<std::size_t> sizes;
  for (std::size_t at = krelt::kTfpStreamHeaderSize; at + 2 <= stream.size();) {
    sizes.push_back(2 + (std::size_t{stream[at]} << 8 | stream[at + 1]));
    at += sizes.back();
  }
  return sizes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input = StructuredInput(std::span(data, size));
  krelt::TfpEncoder smallest(nullptr, krelt::CompressionLevel::kMax);
  krelt::TfpEncoder fast;
  Bytes stream;
  Bytes defaultStream;
  krelt::fuzz::Require(smallest.Compress(input, stream).ok(), "Compress succeeds");
  krelt::fuzz::Require(fast.Compress(input, defaultStream).ok(), "default Compress succeeds");
  Bytes decoded;
  krelt::fuzz::Require(input.empty() || krelt::TfpDecoder::Decode(stream, decoded).ok(),
                       "the stream decodes");
  krelt::fuzz::Require(decoded == input, "the round trip gives back the input");
  const std::vector<std::size_t> sizes = RecordSizes(stream);
  const std::vector<std::size_t> defaultSizes = RecordSizes(defaultStream);
  krelt::fuzz::Require(sizes.size() == defaultSizes.size(), "as many chunks as the default");
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    krelt::fuzz::Require(sizes[i] <= defaultSizes[i], "no chunk longer than the default");
  }
  return 0;
}
