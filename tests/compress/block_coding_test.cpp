#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <vector>

#include "compress/block_splitter.h"
#include "compress/length_limited_code.h"

namespace krelt {
namespace {

using Tokens = std::vector<Lh5Token>;

// count literals drawn from [low, low + span); count matches of 3 to 10
// bytes at distances below 65.
Tokens Literals(std::mt19937& random, std::size_t count, int low, int span) {
  Tokens tokens(count);
  for (Lh5Token& token : tokens) token.symbol = static_cast<std::uint16_t>(low + random() % span);
  return tokens;
}

Tokens Matches(std::mt19937& random, std::size_t count) {
  Tokens tokens(count);
  for (Lh5Token& token : tokens) {
    token.symbol = static_cast<std::uint16_t>(kLh5FirstMatchSymbol + random() % 8);
    token.distanceCode = static_cast<std::uint16_t>(random() % 64);
  }
  return tokens;
}

Tokens Joined(std::initializer_list<Tokens> parts) {
  Tokens joined;
  for (const Tokens& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

struct SplitCase {
  const char* name;
  std::function<Tokens(std::mt19937&)> make;
  // Where blocks must end (token indices), with this much slack, or empty
  // for a single block.
  std::vector<std::size_t> expectedEnds;
  std::size_t slack;
};

class BlockSplitterTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(BlockSplitterTest, CutsWhereTheStatisticsChange) {
  std::mt19937 random(7);
  const Tokens tokens = GetParam().make(random);
  const std::vector<std::size_t> ends = ChooseBlockEnds(tokens);
  ASSERT_FALSE(ends.empty());
  EXPECT_EQ(ends.back(), tokens.size());
  EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
  const std::vector<std::size_t> cuts(ends.begin(), ends.end() - 1);
  ASSERT_EQ(cuts.size(), GetParam().expectedEnds.size());
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(cuts[i]), static_cast<double>(GetParam().expectedEnds[i]),
                static_cast<double>(GetParam().slack))
        << "cut " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, BlockSplitterTest,
    ::testing::Values(
        SplitCase{"Empty", [](std::mt19937&) { return Tokens{}; }, {}, 0},
        SplitCase{"TooFewToCut", [](std::mt19937& r) { return Literals(r, 40, 0, 200); }, {}, 0},
        SplitCase{"Uniform", [](std::mt19937& r) { return Literals(r, 20000, 0, 64); }, {}, 0},
        SplitCase{"TwoAlphabets",
                  [](std::mt19937& r) {
                    return Joined({Literals(r, 5000, 0, 16), Literals(r, 7000, 128, 128)});
                  },
                  {5000},
                  16},
        SplitCase{"LiteralsMatchesLiterals",
                  [](std::mt19937& r) {
                    return Joined({Literals(r, 3000, 200, 50), Matches(r, 3000),
                                   Literals(r, 3000, 0, 50)});
                  },
                  {3000, 6000},
                  16}),
    [](const auto& info) { return std::string(info.param.name); });

// Coded size and Kraft sum of a set of code lengths.
std::uint64_t CodedBits(const std::vector<std::uint32_t>& frequencies,
                        const std::vector<std::uint8_t>& lengths) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < frequencies.size(); ++i) bits += std::uint64_t{frequencies[i]} * lengths[i];
  return bits;
}

double KraftSum(const std::vector<std::uint8_t>& lengths) {
  double sum = 0;
  for (const std::uint8_t length : lengths) {
    if (length != 0) sum += std::ldexp(1.0, -length);
  }
  return sum;
}

// Coded size of an unlimited Huffman code, merged the textbook way.
std::uint64_t HuffmanBits(const std::vector<std::uint32_t>& frequencies) {
  std::priority_queue<std::uint64_t, std::vector<std::uint64_t>, std::greater<>> queue;
  for (const std::uint32_t f : frequencies) {
    if (f != 0) queue.push(f);
  }
  std::uint64_t bits = 0;
  while (queue.size() > 1) {
    const std::uint64_t a = queue.top();
    queue.pop();
    const std::uint64_t b = queue.top();
    queue.pop();
    bits += a + b;
    queue.push(a + b);
  }
  return bits;
}

struct LengthCase {
  const char* name;
  std::vector<std::uint32_t> frequencies;
  int maxLength;
  bool limitBites;  // an unlimited Huffman code would be longer
};

// GoogleTest would otherwise print the case's bytes, padding included,
// which is uninitialised memory (valgrind reports it).
void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::uint32_t> Fibonacci(std::size_t count) {
  std::vector<std::uint32_t> values{1, 1};
  while (values.size() < count) values.push_back(values[values.size() - 1] + values[values.size() - 2]);
  return values;
}

std::vector<std::uint32_t> Skewed() {
  std::vector<std::uint32_t> values(510, 0);
  std::mt19937 random(11);
  for (std::size_t i = 0; i < values.size(); i += 1 + random() % 3) values[i] = 1 + random() % 1000 * (random() % 5 == 0 ? 50 : 1);
  return values;
}

class CodeLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(CodeLengthTest, CompleteWithinTheLimitAndMinimal) {
  const LengthCase& c = GetParam();
  std::vector<std::uint8_t> lengths(c.frequencies.size(), 99);
  OptimalCodeLengths(c.frequencies, c.maxLength, lengths);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_LE(lengths[i], c.maxLength);
    EXPECT_EQ(lengths[i] == 0, c.frequencies[i] == 0) << "symbol " << i;
  }
  EXPECT_DOUBLE_EQ(KraftSum(lengths), 1.0);
  const std::uint64_t unlimited = HuffmanBits(c.frequencies);
  if (c.limitBites) {
    EXPECT_GT(CodedBits(c.frequencies, lengths), unlimited);
  } else {
    EXPECT_EQ(CodedBits(c.frequencies, lengths), unlimited);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, CodeLengthTest,
    ::testing::Values(LengthCase{"TwoSymbols", {0, 5, 0, 1}, 16, false},
                      LengthCase{"Equal", std::vector<std::uint32_t>(19, 3), 16, false},
                      LengthCase{"Skewed510At20", Skewed(), 20, false},
                      LengthCase{"Skewed510At16", Skewed(), 16, true},
                      LengthCase{"Fibonacci24At16", Fibonacci(24), 16, true},
                      LengthCase{"Fibonacci12At7", Fibonacci(12), 7, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodeLengthTest, FewerThanTwoSymbolsGetNoLengths) {
  for (const std::vector<std::uint32_t>& frequencies :
       {std::vector<std::uint32_t>{0, 0, 0}, std::vector<std::uint32_t>{0, 9, 0}}) {
    std::vector<std::uint8_t> lengths(frequencies.size(), 5);
    OptimalCodeLengths(frequencies, 16, lengths);
    EXPECT_EQ(std::accumulate(lengths.begin(), lengths.end(), 0), 0);
  }
}

}  // namespace
}  // namespace krelt
