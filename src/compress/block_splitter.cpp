#include "compress/block_splitter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "compress/lh5_block_writer.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

// Segments the token list is cut into at most, and the fewest tokens a
// segment holds: finer cuts would cost more in tables than they could save.
constexpr std::size_t kMaxSegments = 64;
constexpr std::size_t kMinSegmentTokens = 32;
// Cuts between segments are then moved by up to half a segment, in halving
// steps down to this many tokens.
constexpr std::size_t kMinRefineStep = 8;
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
  std::span<std::uint32_t> classCounts = std::span(counts).subspan(kLh5SymbolCount);
  CountTokenSymbols(tokens, counts, classCounts);
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
    for (const SymbolCount& entry : segment) Change(entry.symbol, static_cast<std::int32_t>(entry.count));
  }
  // Adds (+1) or takes out (-1) one token.
  void Change(const Lh5Token& token, std::int32_t delta) {
    Change(token.symbol, delta);
    if (token.IsMatch()) {
      Change(static_cast<std::uint16_t>(kLh5SymbolCount + token.DistanceClass()), delta);
    }
  }
  double Bits() const {
    return countLog_[symbols_] + countLog_[matches_] - sumCountLog_ + tableBits_;
  }

 private:
  void Change(std::uint16_t symbol, std::int32_t delta) {
    std::uint32_t& count = counts_[symbol];
    const bool isSymbol = symbol < kLh5SymbolCount;
    const double tableCost = isSymbol ? kTableBitsPerSymbol : kTableBitsPerDistanceClass;
    if (count == 0) tableBits_ += tableCost;
    const std::uint32_t changed = count + static_cast<std::uint32_t>(delta);
    sumCountLog_ += countLog_[changed] - countLog_[count];
    count = changed;
    if (count == 0) tableBits_ -= tableCost;
    (isSymbol ? symbols_ : matches_) += static_cast<std::uint32_t>(delta);
  }

  const float* countLog_;
  std::array<std::uint32_t, kCountedSymbols> counts_{};
  std::uint32_t symbols_ = 0;
  std::uint32_t matches_ = 0;
  double sumCountLog_ = 0.0;
  double tableBits_ = kTableFixedBits;
};

double EstimateTokens(std::span<const Lh5Token> tokens, const float* countLog) {
  BlockEstimate block(countLog);
  block.Add(CountSegment(tokens));
  return block.Bits();
}

// Moves each cut by halving steps to where the two blocks beside it are
// estimated smallest. Moving a cut moves only the tokens it passes from one
// block's counts to the other's.
void RefineCuts(std::span<const Lh5Token> tokens, std::size_t firstStep, const float* countLog,
                std::vector<std::size_t>& ends) {
  for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    const std::size_t end = ends[i + 1];
    BlockEstimate left(countLog);
    BlockEstimate right(countLog);
    for (std::size_t t = begin; t < ends[i]; ++t) left.Change(tokens[t], 1);
    for (std::size_t t = ends[i]; t < end; ++t) right.Change(tokens[t], 1);
    std::size_t at = ends[i];
    const auto moveTo = [&](std::size_t cut) {
      for (; at < cut; ++at) left.Change(tokens[at], 1), right.Change(tokens[at], -1);
      for (; at > cut; --at) left.Change(tokens[at - 1], -1), right.Change(tokens[at - 1], 1);
    };
    double best = left.Bits() + right.Bits();
    for (std::size_t step = firstStep; step >= kMinRefineStep; step /= 2) {
      const std::size_t cut = ends[i];
      for (const std::size_t trial : {cut - step, cut + step}) {
        if (cut < step || trial <= begin || trial >= end) continue;
        moveTo(trial);
        if (const double bits = left.Bits() + right.Bits(); bits < best) {
          best = bits;
          ends[i] = trial;
        }
      }
      moveTo(ends[i]);
    }
  }
}

// Drops the cuts whose two blocks are estimated smaller as one: a coarse
// cut near a change may leave a small block that holds a bit of both sides.
void DropIdleCuts(std::span<const Lh5Token> tokens, const float* countLog,
                  std::vector<std::size_t>& ends) {
  for (std::size_t i = 0; i + 1 < ends.size();) {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    const std::size_t cut = ends[i];
    const std::size_t end = ends[i + 1];
    const double apart = EstimateTokens(tokens.subspan(begin, cut - begin), countLog) +
                         EstimateTokens(tokens.subspan(cut, end - cut), countLog);
    if (EstimateTokens(tokens.subspan(begin, end - begin), countLog) <= apart) {
      ends.erase(ends.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

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
  RefineCuts(tokens, tokens.size() / segments / 2, countLog.data(), ends);
  DropIdleCuts(tokens, countLog.data(), ends);
  return ends;
}

}  // namespace krelt
