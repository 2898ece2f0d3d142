#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Sizes around the block, window and chunk boundaries.
const std::size_t kSizes[] = {1,     2,     3,     255,   256,   257,
                              8191,  8192,  8193,  8447,  8448,  8449,
                              16384, 32761, 32762, 32763, 65524, 300001};

struct DataKind {
  const char* name;
  std::function<Bytes(std::size_t)> make;
  bool compressible;
};

Bytes Random(std::size_t size) {
  std::mt19937 random(static_cast<unsigned>(size));
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes Repeating(std::size_t size) {
  static const std::uint8_t pattern[] = {1, 2, 3, 5, 8, 13, 21};
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = pattern[i % 7];
  return bytes;
}

// 8-bit palette picture, 320 wide: flat rectangles with a little noise.
Bytes FlatAreas(std::size_t size) {
  std::mt19937 random(3);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t x = i % 320;
    const std::size_t y = i / 320;
    bytes[i] = static_cast<std::uint8_t>((x / 40) * 16 + (y / 30) % 16);
    if (random() % 97 == 0) bytes[i] ^= 0x55;
  }
  return bytes;
}

// Red, green, blue bytes of a 200-pixel-wide picture: red rises along each
// row, green in bands of 16 rows.
Bytes Gradient24(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t pixel = i / 3;
    const std::size_t x = pixel % 200;
    const std::size_t y = pixel / 200;
    const std::size_t channel[] = {x, y / 16, 128};
    bytes[i] = static_cast<std::uint8_t>(channel[i % 3]);
  }
  return bytes;
}

// 5-5-5 pixels with the top bit set, high byte first, gradient plus noise.
Bytes Pixels1555(std::size_t size) {
  std::mt19937 random(5);
  Bytes bytes(size);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::size_t pixel = i / 2;
    const unsigned red = (pixel % 256) / 8;
    const unsigned green = ((pixel / 256) % 32 + random() % 2) % 32;
    const unsigned value = 0x8000 | red << 10 | green << 5 | 7;
    bytes[i] = static_cast<std::uint8_t>(value >> 8);
    bytes[i + 1] = static_cast<std::uint8_t>(value);
  }
  if (size % 2 != 0) bytes.back() = 0x80;
  return bytes;
}

const DataKind kKinds[] = {
    {"equal", [](std::size_t size) { return Bytes(size, 0x41); }, true},
    {"random", Random, false},
    {"repeating", Repeating, true},
    {"flat_areas", FlatAreas, true},
    {"gradient_24bit", Gradient24, true},
    {"pixels_1555", Pixels1555, true},
};

void PrintTo(const DataKind& kind, std::ostream* out) { *out << kind.name; }

class RoundTripTest : public ::testing::TestWithParam<DataKind> {};

TEST_P(RoundTripTest, DecodesToInputAtEverySize) {
  TfpEncoder encoder;  // reused, as the conversion driver does
  for (std::size_t size : kSizes) {
    const Bytes input = GetParam().make(size);
    Bytes stream;
    ASSERT_TRUE(encoder.Compress(input, stream).ok()) << size;
    ASSERT_LE(stream.size(), MaxCompressedSize(size)) << size;
    if (GetParam().compressible && size >= 8192) {
      EXPECT_LT(stream.size(), size / 2) << size;
    }
    Bytes output;
    const Status status = TfpDecoder::Decode(stream, output);
    ASSERT_TRUE(status.ok()) << size << ": " << status.message();
    ASSERT_EQ(output, input) << size;
  }
}

// Sizes of the chunk records of a stream, in order.
std::vector<std::size_t> ChunkRecordSizes(const Bytes& stream) {
  std::vector<std::size_t> sizes;
  for (std::size_t at = kTfpStreamHeaderSize; at + 2 <= stream.size();) {
    const std::size_t size = 2 + (std::size_t{stream[at]} << 8 | stream[at + 1]);
    sizes.push_back(size);
    at += size;
  }
  return sizes;
}

TEST_P(RoundTripTest, MaxLevelDecodesToInputAndNoChunkGrows) {
  TfpEncoder fast;
  TfpEncoder smallest(nullptr, CompressionLevel::kMax);
  for (std::size_t size : kSizes) {
    const Bytes input = GetParam().make(size);
    Bytes defaultStream;
    Bytes maxStream;
    ASSERT_TRUE(fast.Compress(input, defaultStream).ok()) << size;
    ASSERT_TRUE(smallest.Compress(input, maxStream).ok()) << size;
    Bytes output;
    const Status status = TfpDecoder::Decode(maxStream, output);
    ASSERT_TRUE(status.ok()) << size << ": " << status.message();
    ASSERT_EQ(output, input) << size;
    const auto defaultSizes = ChunkRecordSizes(defaultStream);
    const auto maxSizes = ChunkRecordSizes(maxStream);
    ASSERT_EQ(maxSizes.size(), defaultSizes.size()) << size;
    for (std::size_t chunk = 0; chunk < maxSizes.size(); ++chunk) {
      EXPECT_LE(maxSizes[chunk], defaultSizes[chunk]) << size << " chunk " << chunk;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DataKinds, RoundTripTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RoundTripTest, EmptyInputGivesEmptyStream) {
  TfpEncoder encoder;
  Bytes stream = {1};
  ASSERT_TRUE(encoder.Compress(Bytes{}, stream).ok());
  Bytes output = {1};
  EXPECT_TRUE(TfpDecoder::Decode(stream, output).ok());
  EXPECT_TRUE(output.empty());
}

}  // namespace
}  // namespace krelt
