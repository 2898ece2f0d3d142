#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "compress/lh5_block_code.h"
#include "compress/lh5_format.h"

namespace krelt {

// Bits a token is expected to take: the code length of its symbol and, for
// a match, the code length and extra bits of its distance class. A symbol
// or class the code lacks costs a little more than the longest, so that it
// stays possible but unlikely; so does a match length at the longest code.
struct Lh5Prices {
  std::array<std::uint32_t, kLh5SymbolCount> symbol{};
  std::array<std::uint32_t, kLh5DistanceClassCount> distance{};

  explicit Lh5Prices(const Lh5BlockCode& code);

  std::uint32_t Length(int length) const {
    return symbol[static_cast<std::size_t>(length + kLh5MatchSymbolOffset)];
  }
  std::uint32_t Match(int length, int distanceClass) const {
    return Length(length) + distance[static_cast<std::size_t>(distanceClass)];
  }
  std::uint32_t Of(Lh5Token token) const {
    return token.IsMatch() ? symbol[token.symbol] + distance[static_cast<std::size_t>(token.DistanceClass())]
                           : symbol[token.symbol];
  }
};

// Finds the cheapest token sequence for a chunk under given prices. Index
// collects, for every position, the longest match in each distance class;
// Parse then runs a shortest path over the positions that prices every
// length of those matches with the cheapest class reaching it.
class OptimalParser {
 public:
  // Collects the matches of data[0, length); data must stay valid while
  // Parse is used.
  void Index(const std::uint8_t* data, std::uint32_t length);

  // The cheapest tokens for the bytes [begin, end) of the indexed data.
  void Parse(std::uint32_t begin, std::uint32_t end, const Lh5Prices& prices,
             std::vector<Lh5Token>& tokens);

 private:
  // The longest match of one distance class at a position.
  struct Candidate {
    std::uint16_t length;
    std::uint16_t distance;
    int DistanceClass() const { return Lh5DistanceClass(distance - 1u); }
  };

  using ClassMatches = std::array<Candidate, kLh5DistanceClassCount>;

  // Matches of one class from one position at every length up to last
  // (position + length <= last), all at the same cost.
  struct RangeOffer {
    std::uint32_t cost;
    std::uint32_t source;
    std::uint32_t last;
    std::uint16_t distance;
  };

  // A stretch of bytes repeating with a short period, from its first
  // position to the first byte that breaks the period.
  struct Run {
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t period;
    std::int32_t previous;  // the run before it with the same key, or -1
  };
  // An earlier run with the same period and bytes at its end, as seen from
  // the current run.
  struct RunSource {
    std::uint32_t endDistance;  // between the two ends
    std::uint32_t length;       // of the earlier run
    std::uint32_t sharedAfter;  // bytes the two share after their ends
  };

  void MeasureRuns();
  bool SameRunKey(const Run& a, const Run& b) const;
  void AddRunSource(const RunSource& source);
  void StartRun(std::uint32_t position);
  void RunMatches(std::uint32_t position, int limit, ClassMatches& longest);
  void StoreCandidates(std::uint32_t position, const ClassMatches& longest, const ClassMatches& previous);
  void FindMatches(std::uint32_t position, int limit, const ClassMatches& previous, ClassMatches& longest);
  void WalkTree(std::uint32_t position, int limit, ClassMatches& longest);
  void ContinueMatches(std::uint32_t position, int limit, const ClassMatches& previous,
                       ClassMatches& longest) const;
  void TryMultiples(std::uint32_t position, int limit, ClassMatches& longest) const;
  void ChooseLengths(const Lh5Prices& prices);
  void RelaxCheapLengths(std::uint32_t position, std::uint32_t base, std::size_t first, std::size_t last,
                         std::uint16_t distance);
  void PriceMatches(std::uint32_t position, std::uint32_t end, const Lh5Prices& prices);
  static bool DearerFirst(const RangeOffer& a, const RangeOffer& b) { return a.cost > b.cost; }
  void AddOffer(const RangeOffer& offer);
  void TakeOffer(std::uint32_t position);
  void Relax(std::uint32_t to, std::uint32_t cost, Lh5Token step) {
    if (cost < pathCost_[to]) {
      pathCost_[to] = cost;
      pathStep_[to] = step;
    }
  }

  const std::uint8_t* data_ = nullptr;
  std::uint32_t length_ = 0;
  std::vector<std::uint32_t> candidateStart_;  // per position with matches, into candidates_
  std::vector<Candidate> candidates_;  // per position, in class order
  std::vector<std::uint16_t> candidateClasses_;  // per position, bit per class with a match
  // Per position, the period of the run it starts (0: none) and the bytes
  // from it to the run's end.
  std::vector<std::uint8_t> runPeriod_;
  std::vector<std::uint16_t> runLength_;
  std::vector<Run> runs_;
  std::vector<std::int32_t> runHead_;  // per hash of a run's key, its latest run
  // Per distance class, the earlier runs of the current run's content that
  // no other in the class beats, longest first, and how many of them are at
  // least as long as the current position's distance to the run's end.
  std::array<std::vector<RunSource>, kLh5DistanceClassCount> runSources_;
  std::array<std::size_t, kLh5DistanceClassCount> usableRunSources_{};
  std::uint32_t runSourceClasses_ = 0;  // bit per class with sources
  std::vector<std::uint32_t> runMultiples_;  // of the current run's period, per class
  std::vector<std::int32_t> hashHead_;
  std::vector<std::int32_t> children_;  // per position: smaller, greater
  // Lengths cheaper than the dearest one, ascending; per length, the index
  // of the first of them above it and the first dearest length above it;
  // the dearest price.
  struct CheapLength {
    std::uint16_t length;
    std::uint32_t price;
  };
  std::vector<CheapLength> cheapLengths_;
  std::array<std::uint16_t, kLh5MaxMatch + 1> firstCheapAbove_{};
  std::array<std::uint16_t, kLh5MaxMatch + 1> firstDearAbove_{};
  std::uint32_t dearestLength_ = 0;
  std::uint32_t cheapestLength_ = 0;
  std::array<std::uint8_t, kLh5DistanceClassCount> classesByPrice_{};  // cheapest first
  // Range offers made, in the order of their source, and those that can
  // be taken (see AddOffer).
  std::vector<RangeOffer> waitingOffers_;
  std::size_t firstWaiting_ = 0;
  struct OfferQueue {
    std::vector<RangeOffer> offers;  // from front on
    std::size_t front = 0;
  };
  std::array<OfferQueue, kLh5DistanceClassCount> offerQueues_;
  std::uint32_t liveQueues_ = 0;  // bit per class whose queue holds offers
  std::vector<RangeOffer> offerHeap_;
  RangeOffer takenOffer_{};  // the cheapest offer reaching the current position
  std::vector<std::uint32_t> pathCost_;
  std::vector<Lh5Token> pathStep_;
};

}  // namespace krelt
