#include "compress/block_splitter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "compress/tfp_format.h"

namespace krelt {
namespace {

// Segments the token list is cut into at most, and the fewest tokens a
// segment holds: finer cuts would cost more in tables than they could save.
constexpr std::size_t kMaxSegments = 128;
constexpr std::size_t kMinSegmentTokens = 32;
// Estimated table cost: a fixed part (counts, the code-length code, the
// distance table) and a part per symbol given a code length.
constexpr double kTableFixedBits = 110.0;
constexpr double kTableBitsPerSymbol = 3.5;
constexpr double kTableBitsPerDistanceClass = 3.0;

constexpr std::size_t kCountedSymbols = kLh5SymbolCount + kLh5DistanceClassCount;

// count * log2(count) for every count a chunk's tokens can reach.
const std::vector<float>& CountLogTable() {
  static const std::vector<float> table = [] {
    std::vector<float> values(kTfpMaxChunkLength + 1, 0.0f);
    for (std::size_t c = 2; c < values.size(); ++c) {
      values[c] = static_cast<float>(static_cast<double>(c) * std::log2(static_cast<double>(c)));
    }
    return values;
  }();
  return table;
}

// The distinct symbols of one segment (distance classes after the 510
// symbols of the main alphabet) with their counts.
struct SymbolCount {
  std::uint16_t symbol;
  std::uint32_t count;
};
using Segment = std::vector<SymbolCount>;

Segment CountSegment(std::span<const Lh5Token> tokens) {
  std::array<std::uint32_t, kCountedSymbols> counts{};
  for (const Lh5Token& token : tokens) {
    ++counts[token.symbol];
    if (token.IsMatch()) {
      ++counts[kLh5SymbolCount + static_cast<std::size_t>(std::bit_width(unsigned{token.distanceCode}))];
    }
  }
  Segment segment;
  for (std::size_t i = 0; i < kCountedSymbols; ++i) {
    if (counts[i] != 0) segment.push_back({static_cast<std::uint16_t>(i), counts[i]});
  }
  return segment;
}

// A block growing segment by segment towards the chunk's start, with its
// size estimate kept up to date: the entropy of both alphabets (n log n -
// sum(c log c) each) plus the table estimate.
class BlockEstimate {
 public:
  explicit BlockEstimate(const float* countLog) : countLog_(countLog) {}

  void Add(const Segment& segment) {
    for (const SymbolCount& entry : segment) {
      std::uint32_t& count = counts_[entry.symbol];
      const bool isSymbol = entry.symbol < kLh5SymbolCount;
      if (count == 0) tableBits_ += isSymbol ? kTableBitsPerSymbol : kTableBitsPerDistanceClass;
      sumCountLog_ += countLog_[count + entry.count] - countLog_[count];
      count += entry.count;
      (isSymbol ? symbols_ : matches_) += entry.count;
    }
  }
  double Bits() const {
    return countLog_[symbols_] + countLog_[matches_] - sumCountLog_ + tableBits_;
  }

 private:
  const float* countLog_;
  std::array<std::uint32_t, kCountedSymbols> counts_{};
  std::uint32_t symbols_ = 0;
  std::uint32_t matches_ = 0;
  double sumCountLog_ = 0.0;
  double tableBits_ = kTableFixedBits;
};

}  // namespace

std::vector<std::size_t> ChooseBlockEnds(std::span<const Lh5Token> tokens) {
  const std::size_t segments =
      std::min(kMaxSegments, std::max<std::size_t>(1, tokens.size() / kMinSegmentTokens));
  const std::vector<float>& countLog = CountLogTable();
  // Longer lists than a chunk's stay one block; the count table ends there.
  if (segments < 2 || tokens.size() >= countLog.size()) return {tokens.size()};
  const auto segmentEnd = [&](std::size_t segment) { return tokens.size() * segment / segments; };

  std::vector<Segment> counted(segments);
  for (std::size_t k = 0; k < segments; ++k) {
    counted[k] = CountSegment(tokens.subspan(segmentEnd(k), segmentEnd(k + 1) - segmentEnd(k)));
  }
  // best[k]: smallest estimate of segments [0, k); from[k]: where its last
  // block starts.
  std::vector<double> best(segments + 1, std::numeric_limits<double>::infinity());
  std::vector<std::size_t> from(segments + 1, 0);
  best[0] = 0.0;
  for (std::size_t end = 1; end <= segments; ++end) {
    BlockEstimate block(countLog.data());
    for (std::size_t start = end; start-- > 0;) {
      block.Add(counted[start]);
      const double bits = best[start] + block.Bits();
      if (bits < best[end]) {
        best[end] = bits;
        from[end] = start;
      }
    }
  }
  std::vector<std::size_t> ends;
  for (std::size_t end = segments; end > 0; end = from[end]) ends.push_back(segmentEnd(end));
  std::reverse(ends.begin(), ends.end());
  return ends;
}

}  // namespace krelt
