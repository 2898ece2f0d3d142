#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "compress/chunk_coder.h"
#include "compress/optimal_parser.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Tokens = std::vector<Lh5Token>;

// The cost of the cheapest token sequence for bytes under prices, found
// by trying every distance 1..8192 at every position. A match of length L
// at a distance implies all shorter ones there, and its price depends only
// on its distance class, so each class's longest match stands for every
// length 3..256 of every distance in it. Runs from the end, where the
// match length at (position, distance) is one more than at (position + 1,
// distance) when the bytes agree.
std::uint64_t ReferenceCost(const Bytes& bytes, const Lh5Prices& prices) {
  const std::size_t size = bytes.size();
  std::vector<std::uint64_t> costToEnd(size + 1, 0);
  std::vector<int> matchLength(kLh5WindowSize + 1, 0);
  for (std::size_t position = size; position-- > 0;) {
    std::array<int, kLh5DistanceClassCount> longest{};
    for (std::size_t distance = 1; distance <= kLh5WindowSize; ++distance) {
      int& length = matchLength[distance];
      length = distance <= position && bytes[position] == bytes[position - distance]
                   ? std::min(length + 1, kLh5MaxMatch)
                   : 0;
      int& classLongest = longest[static_cast<std::size_t>(Lh5DistanceClass(static_cast<unsigned>(distance - 1)))];
      classLongest = std::max(classLongest, length);
    }
    std::uint64_t best = prices.symbol[bytes[position]] + costToEnd[position + 1];
    for (int distanceClass = 0; distanceClass < kLh5DistanceClassCount; ++distanceClass) {
      for (int length = kLh5MinMatch; length <= longest[static_cast<std::size_t>(distanceClass)]; ++length) {
        best = std::min(best, prices.Match(length, distanceClass) + costToEnd[position + static_cast<std::size_t>(length)]);
      }
    }
    costToEnd[position] = best;
  }
  return costToEnd[0];
}

// The bytes the tokens stand for; empty when a match reaches outside the
// window or before the start.
Bytes Expand(const Tokens& tokens) {
  Bytes bytes;
  for (const Lh5Token& token : tokens) {
    if (!token.IsMatch()) {
      bytes.push_back(static_cast<std::uint8_t>(token.symbol));
      continue;
    }
    const std::size_t distance = token.distanceCode + std::size_t{1};
    if (distance > bytes.size() || distance > kLh5WindowSize) return {};
    for (int i = 0; i < token.Length(); ++i) bytes.push_back(bytes[bytes.size() - distance]);
  }
  return bytes;
}

std::uint64_t PathCost(const Tokens& tokens, const Lh5Prices& prices) {
  std::uint64_t cost = 0;
  for (const Lh5Token& token : tokens) cost += prices.Of(token);
  return cost;
}

Tokens DefaultTokens(const Bytes& bytes) {
  ChunkCoder coder;
  Bytes coded(bytes.size());
  Tokens tokens;
  coder.EncodeChunk(coded.data(), bytes.data(), static_cast<std::uint32_t>(bytes.size()), &tokens);
  return tokens;
}

Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes Periodic(std::size_t size, Bytes period) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = period[i % period.size()];
  return bytes;
}

// 24-bit rows of `width` pixels: a ramp that repeats row after row, a few
// pixels changed per row.
Bytes RowsAtStride(std::size_t width, std::size_t rows) {
  std::mt19937 random(5);
  Bytes bytes;
  for (std::size_t y = 0; y < rows; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const bool changed = random() % 23 == 0;
      for (const std::size_t channel : {x * 4, 40 + x, 200 - y}) {
        bytes.push_back(static_cast<std::uint8_t>(changed ? channel + 1 : channel));
      }
    }
  }
  return bytes;
}

// Rows of `width` pixels with `count` rectangles of 3 to 12 by 8 to 30
// pixels of one colour on a background of another, like glyphs on a menu.
Bytes Glyphs(std::size_t width, std::size_t rows, const Bytes& background, const Bytes& glyph, int count) {
  std::mt19937 random(9);
  std::vector<const Bytes*> pixels(width * rows, &background);
  for (int i = 0; i < count; ++i) {
    const std::size_t w = 3 + random() % 10;
    const std::size_t h = 8 + random() % 23;
    const std::size_t left = random() % (width - w);
    const std::size_t top = random() % (rows - h);
    for (std::size_t y = top; y < top + h; ++y) std::fill_n(&pixels[y * width + left], w, &glyph);
  }
  Bytes bytes;
  for (const Bytes* pixel : pixels) bytes.insert(bytes.end(), pixel->begin(), pixel->end());
  return bytes;
}

// A stretch repeated at exactly the window's reach, and a flat run ending
// past the end of the longest match.
Bytes WindowEdge() {
  Bytes bytes = Random(kLh5WindowSize, 3);
  bytes.insert(bytes.end(), bytes.begin(), bytes.begin() + 300);
  bytes.insert(bytes.end(), 600, 0x20);
  return bytes;
}

struct ParseCase {
  const char* name;
  std::function<Bytes()> make;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

struct PriceSet {
  Lh5Prices prices;
  // How much dearer than the cheapest path the parse may come out: the
  // match finder keeps the longest match per distance class among the
  // positions its tree walk meets, which misses a few where far classes
  // are cheaper than near ones.
  double margin;
};

// Prices: those of the default level's tokens (where most lengths are
// unused), those of the parse's own tokens, and the latter with distance
// classes priced out of their order, so that far classes are cheaper.
std::vector<PriceSet> PriceSets(const Bytes& bytes) {
  OptimalParser parser;
  parser.Index(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  const Lh5Prices first(Lh5BlockCode(DefaultTokens(bytes)));
  Tokens tokens;
  parser.Parse(0, static_cast<std::uint32_t>(bytes.size()), first, tokens);
  Lh5Prices own(Lh5BlockCode{tokens});
  Lh5Prices shuffled = own;
  for (int c = 0; c < kLh5DistanceClassCount; ++c) {
    shuffled.distance[static_cast<std::size_t>(c)] =
        static_cast<std::uint32_t>(Lh5DistanceExtraBits(c) + 1 + (c * 7) % 11);
  }
  return {{first, 0.002}, {own, 0.002}, {shuffled, 0.05}};
}

class OptimalParserTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(OptimalParserTest, PathCostNearExhaustiveSearch) {
  const Bytes bytes = GetParam().make();
  OptimalParser parser;
  parser.Index(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  const std::vector<PriceSet> priceSets = PriceSets(bytes);
  for (std::size_t set = 0; set < priceSets.size(); ++set) {
    const Lh5Prices& prices = priceSets[set].prices;
    Tokens tokens;
    parser.Parse(0, static_cast<std::uint32_t>(bytes.size()), prices, tokens);
    ASSERT_EQ(Expand(tokens), bytes) << "prices " << set;
    const auto cost = static_cast<double>(PathCost(tokens, prices));
    const auto reference = static_cast<double>(ReferenceCost(bytes, prices));
    EXPECT_GE(cost, reference) << "prices " << set;
    EXPECT_LE(cost, reference * (1 + priceSets[set].margin)) << "prices " << set;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, OptimalParserTest,
    ::testing::Values(ParseCase{"Flat", [] { return Bytes(3000, 0x41); }},
                      ParseCase{"Period2", [] { return Periodic(2500, {0x80, 0x1F}); }},
                      ParseCase{"Period3", [] { return Periodic(2600, {12, 20, 70}); }},
                      ParseCase{"RowsAtStride", [] { return RowsAtStride(97, 12); }},
                      ParseCase{"Glyphs", [] { return Glyphs(64, 60, {17}, {255}, 40); }},
                      ParseCase{"GlyphsOnWideRows", [] { return Glyphs(300, 32, {12, 20, 70}, {240, 240, 240}, 6); }},
                      ParseCase{"Random", [] { return Random(2000, 1); }},
                      ParseCase{"WindowEdge", WindowEdge}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace krelt
