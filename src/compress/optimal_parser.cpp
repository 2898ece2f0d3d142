#include "compress/optimal_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace krelt {
namespace {

constexpr int kHashBits = 15;
constexpr std::int32_t kNone = -1;
// Tree nodes looked at per position at most; walks on picture data stay far
// below this, it only bounds pathological inputs.
constexpr int kMaxTreeSteps = 4096;
constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
// Runs: bytes repeating with a period of at most kMaxRunPeriod (a pixel of
// up to four bytes), for at least the period and three bytes more.
constexpr std::uint32_t kMaxRunPeriod = 4;
constexpr int kRunHashBits = 12;
// Earlier runs of the same content looked at from a run.
constexpr std::size_t kMaxRunSources = 256;
// Runs shorter than this are entered into the trees as well: their chains
// stay short, and the trees find matches beside those of the run.
constexpr std::uint32_t kShortRun = 32;
constexpr std::uint16_t kAllLongest = 1u << 15;

std::uint32_t Hash3(const std::uint8_t* bytes) {
  const std::uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16);
  return (value * 2654435761u) >> (32 - kHashBits);
}

// The smallest multiple of period at or above the nearest distance of a
// distance class.
std::uint32_t FirstMultipleInClass(std::uint32_t period, int distanceClass) {
  const std::uint32_t nearest = distanceClass == 0 ? 1 : (1u << (distanceClass - 1)) + 1;
  return (nearest + period - 1) / period * period;
}

// Bits set in a value below 2^16, by table: std::popcount is a library
// call on processors without the instruction.
int BitsSet(std::uint32_t value) {
  static constexpr auto kBitsSet = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 1; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(table[i / 2] + (i & 1));
    return table;
  }();
  return kBitsSet[value & 0xFF] + kBitsSet[value >> 8];
}

// Bytes [0, limit) that a and b share, knowing the first `length` are equal.
int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int length, int limit) {
  if constexpr (std::endian::native == std::endian::little) {
    while (length + 8 <= limit) {
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a + length, 8);
      std::memcpy(&y, b + length, 8);
      if (x != y) return length + std::countr_zero(x ^ y) / 8;
      length += 8;
    }
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

}  // namespace

// A match length at the longest code length is priced as one the code
// lacks: the parse then leaves the rarest lengths for common ones, which
// shortens the code and its table more than it costs.
Lh5Prices::Lh5Prices(const Lh5BlockCode& code) {
  int longest = 1;
  for (int s = 0; s < kLh5SymbolCount; ++s) longest = std::max(longest, code.SymbolLength(s));
  for (int s = 0; s < kLh5SymbolCount; ++s) {
    const bool rareLength = s >= kLh5FirstMatchSymbol && code.SymbolLength(s) == longest;
    symbol[static_cast<std::size_t>(s)] = static_cast<std::uint32_t>(
        code.UsesSymbol(s) && !rareLength ? std::max(code.SymbolLength(s), 1) : longest + 2);
  }
  for (int c = 0; c < kLh5DistanceClassCount; ++c) {
    distance[static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(
        code.UsesDistanceClass(c) ? std::max(code.DistanceBits(c), 1)
                                  : Lh5DistanceExtraBits(c) + 6);
  }
}

// For every position, the smallest period with which the bytes from it
// repeat for at least the period and three bytes more (0: none), and how
// many bytes from it keep repeating before the period breaks.
void OptimalParser::MeasureRuns() {
  runPeriod_.assign(length_, 0);
  runLength_.assign(length_, 0);
  // Per period, the bytes from position on equal to the byte a period on.
  std::array<std::uint32_t, kMaxRunPeriod + 1> repeating{};
  for (std::uint32_t position = length_; position-- > 0;) {
    for (std::uint32_t period = kMaxRunPeriod; period > 0; --period) {
      std::uint32_t& count = repeating[period];
      count = position + period < length_ && data_[position] == data_[position + period] ? count + 1 : 0;
      if (count >= kLh5MinMatch) {
        runPeriod_[position] = static_cast<std::uint8_t>(period);
        runLength_[position] = static_cast<std::uint16_t>(count + period);
      }
    }
  }
}

// Two runs with the same period and the same last period of bytes hold the
// same bytes, counted back from their ends.
bool OptimalParser::SameRunKey(const Run& a, const Run& b) const {
  return a.period == b.period &&
         std::memcmp(data_ + a.end - a.period, data_ + b.end - b.period, a.period) == 0;
}

// Adds an earlier run to its distance class's sources, which are kept
// longest first with ever more bytes matching after the end; a source that
// another in its class beats on both is dropped.
void OptimalParser::AddRunSource(const RunSource& source) {
  const int distanceClass = Lh5DistanceClass(source.endDistance - 1);
  runSourceClasses_ |= 1u << distanceClass;
  std::vector<RunSource>& sources = runSources_[static_cast<std::size_t>(distanceClass)];
  const auto at = std::find_if(sources.begin(), sources.end(),
                               [&](const RunSource& s) { return s.length < source.length; });
  if (at != sources.begin() && std::prev(at)->sharedAfter >= source.sharedAfter) return;
  const auto beaten = std::find_if(at, sources.end(),
                                   [&](const RunSource& s) { return s.sharedAfter > source.sharedAfter; });
  *sources.insert(sources.erase(at, beaten), source);
}

// Starts the run from position on and gathers the earlier runs of the same
// content within reach, with how many bytes after their ends equal those
// after this one's.
void OptimalParser::StartRun(std::uint32_t position) {
  const Run run{position, position + runLength_[position], runPeriod_[position], kNone};
  std::uint32_t key = run.period;
  for (std::uint32_t i = run.end - run.period; i < run.end; ++i) key = (key << 8 | key >> 24) ^ data_[i];
  std::int32_t& head = runHead_[(key * 2654435761u) >> (32 - kRunHashBits)];
  const int after = static_cast<int>(std::min<std::uint32_t>(kLh5MaxMatch, length_ - run.end));
  for (std::uint32_t left = runSourceClasses_; left != 0; left &= left - 1) {
    runSources_[static_cast<std::size_t>(std::countr_zero(left))].clear();
  }
  runSourceClasses_ = 0;
  usableRunSources_.fill(0);
  std::size_t looked = 0;
  for (std::int32_t earlier = head; earlier != kNone && looked < kMaxRunSources;
       earlier = runs_[static_cast<std::size_t>(earlier)].previous) {
    const Run& source = runs_[static_cast<std::size_t>(earlier)];
    if (position - source.end > kLh5WindowSize) break;
    if (run.end - source.end > kLh5WindowSize || !SameRunKey(source, run)) continue;
    ++looked;
    AddRunSource({run.end - source.end, source.end - source.start,
                  static_cast<std::uint32_t>(MatchLength(data_ + source.end, data_ + run.end, 0, after))});
  }
  // The nearest multiple of the period in each distance class from the
  // period's own on, nearest first.
  runMultiples_.clear();
  for (int c = Lh5DistanceClass(run.period - 1); c < kLh5DistanceClassCount; ++c) {
    runMultiples_.push_back(FirstMultipleInClass(run.period, c));
  }
  runs_.push_back(run);
  runs_.back().previous = head;
  head = static_cast<std::int32_t>(runs_.size() - 1);
}

// The matches of a position inside the current run, length bytes before its
// end: multiples of the period inside the run, which match to the end, and
// in each earlier run at least as long the position as many bytes before
// its end, which matches on past it as far as the two ends agree. A string
// that shares more than the period and two bytes with this one starts in
// such a run. Where the match is cut at the longest length, the nearest
// position of the earlier run that reaches it is taken instead.
void OptimalParser::RunMatches(std::uint32_t position, int limit, ClassMatches& longest) {
  const Run& run = runs_.back();
  const std::uint32_t length = run.end - position;
  const std::uint32_t period = run.period;
  const auto offer = [&](std::uint32_t distance, std::uint32_t matchLength) {
    if (distance > kLh5WindowSize) return;
    Candidate& best = longest[static_cast<std::size_t>(Lh5DistanceClass(distance - 1))];
    if (matchLength > best.length) {
      best = {static_cast<std::uint16_t>(std::min<std::uint32_t>(matchLength, static_cast<std::uint32_t>(limit))),
              static_cast<std::uint16_t>(distance)};
    }
  };
  for (const std::uint32_t distance : runMultiples_) {
    if (distance > position - run.start) break;
    offer(distance, length);
  }
  const bool cut = length > static_cast<std::uint32_t>(limit);
  const std::uint32_t full = cut ? length - (length - static_cast<std::uint32_t>(limit)) / period * period : length;
  for (std::uint32_t left = runSourceClasses_; left != 0; left &= left - 1) {
    const auto c = static_cast<std::size_t>(std::countr_zero(left));
    const std::vector<RunSource>& sources = runSources_[c];
    if (cut) {
      if (sources.front().length >= full) offer(sources.front().endDistance - (length - full), full);
      continue;
    }
    std::size_t& usable = usableRunSources_[c];
    while (usable < sources.size() && sources[usable].length >= length) ++usable;
    if (usable != 0) offer(sources[usable - 1].endDistance, length + sources[usable - 1].sharedAfter);
  }
}

// Binary trees over the data, one per hash of the first three bytes:
// positions ordered by the bytes that follow them, the most recent at the
// root. Entering a position walks down from the root, meeting earlier
// positions that share ever more bytes with it, among them the nearest one
// for every match length, and re-roots the tree at it. Of the positions
// met, the longest match of each distance class is kept in longest.
void OptimalParser::WalkTree(std::uint32_t position, int limit, ClassMatches& longest) {
  const std::uint8_t* here = data_ + position;
  std::int32_t& head = hashHead_[Hash3(here)];
  std::int32_t source = head;
  head = static_cast<std::int32_t>(position);
  // Where the next smaller and the next greater subtree hang.
  std::int32_t* smallerLink = &children_[2 * std::size_t{position}];
  std::int32_t* greaterLink = &children_[2 * std::size_t{position} + 1];
  int smallerLength = 0;  // bytes the smaller side surely shares
  int greaterLength = 0;
  for (int step = 0;; ++step) {
    if (source == kNone || static_cast<int>(position) - source > kLh5WindowSize ||
        step == kMaxTreeSteps) {
      *smallerLink = kNone;
      *greaterLink = kNone;
      return;
    }
    const std::uint8_t* there = data_ + source;
    std::int32_t* pair = &children_[2 * static_cast<std::size_t>(source)];
    const int shared = MatchLength(there, here, std::min(smallerLength, greaterLength), limit);
    const auto distance = static_cast<std::uint16_t>(position - static_cast<std::uint32_t>(source));
    Candidate& best = longest[static_cast<std::size_t>(Lh5DistanceClass(distance - 1u))];
    if (shared > best.length) best = {static_cast<std::uint16_t>(shared), distance};
    if (shared == limit) {
      // Equal as far as a match reaches: the source's subtrees become ours.
      *smallerLink = pair[0];
      *greaterLink = pair[1];
      return;
    }
    if (there[shared] < here[shared]) {
      *smallerLink = source;
      smallerLink = &pair[1];
      source = pair[1];
      smallerLength = shared;
    } else {
      *greaterLink = source;
      greaterLink = &pair[0];
      source = pair[0];
      greaterLength = shared;
    }
  }
}

// A match of the previous position goes on at the same distance, one byte
// shorter or, where it was cut at the longest length, further. The tree
// keeps only the nearest of equal strings, so in runs and repeated rows
// this is how the farther classes stay known.
void OptimalParser::ContinueMatches(std::uint32_t position, int limit,
                                    const ClassMatches& previous, ClassMatches& longest) const {
  const std::uint8_t* here = data_ + position;
  for (std::size_t c = 0; c < previous.size(); ++c) {
    const Candidate before = previous[c];
    if (before.length <= kLh5MinMatch || before.length - 1 <= longest[c].length) continue;
    const int length = MatchLength(here - before.distance, here, before.length - 1, limit);
    longest[c] = {static_cast<std::uint16_t>(length), before.distance};
  }
}

// A match that reaches as far as a match can is the nearest of a run or a
// repeat; the tree keeps no farther copy of it. Where the data repeats
// with its distance, multiples of that distance match as well: each class
// still without a match tries the first multiple in it.
void OptimalParser::TryMultiples(std::uint32_t position, int limit, ClassMatches& longest) const {
  const auto full = std::find_if(longest.begin(), longest.end(),
                                 [limit](const Candidate& c) { return c.length == limit; });
  if (full == longest.end()) return;
  const std::uint32_t period = full->distance;
  const std::uint32_t reach = std::min<std::uint32_t>(position, kLh5WindowSize);
  const std::uint8_t* here = data_ + position;
  for (int c = full->DistanceClass() + 1; c < kLh5DistanceClassCount; ++c) {
    Candidate& best = longest[static_cast<std::size_t>(c)];
    const std::uint32_t distance = FirstMultipleInClass(period, c);
    if (distance > reach) return;
    if (best.length != 0 || Lh5DistanceClass(distance - 1) != c) continue;
    const int length = MatchLength(here - distance, here, 0, limit);
    if (length >= kLh5MinMatch) best = {static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)};
  }
}

// The matches of a position found through the trees, carried on from the
// position before and at multiples of a repeat's distance.
void OptimalParser::FindMatches(std::uint32_t position, int limit, const ClassMatches& previous,
                                ClassMatches& longest) {
  WalkTree(position, limit, longest);
  ContinueMatches(position, limit, previous, longest);
  TryMultiples(position, limit, longest);
}

void OptimalParser::Index(const std::uint8_t* data, std::uint32_t length) {
  data_ = data;
  length_ = length;
  MeasureRuns();
  runs_.clear();
  runHead_.assign(std::size_t{1} << kRunHashBits, kNone);
  hashHead_.assign(std::size_t{1} << kHashBits, kNone);
  children_.assign(2 * std::size_t{length}, kNone);
  candidateStart_.resize(length);
  candidateClasses_.assign(length, 0);
  candidates_.clear();
  ClassMatches previous{};
  for (std::uint32_t position = 0; position < length; ++position) {
    if (position + kLh5MinMatch > length) continue;
    const int limit = static_cast<int>(std::min<std::uint32_t>(kLh5MaxMatch, length - position));
    ClassMatches longest{};
    // Positions deep inside a run take their matches from the run; the
    // last two periods and two bytes of it go into the trees, where other
    // strings find what they share with it (all of a short run does).
    const std::uint32_t period = runPeriod_[position];
    if (period != 0 && runLength_[position] >= 2 * period + kLh5MinMatch) {
      const std::uint32_t runEnd = position + runLength_[position];
      if (runs_.empty() || runs_.back().end != runEnd || runs_.back().period != period) StartRun(position);
      RunMatches(position, limit, longest);
      if (runs_.back().end - runs_.back().start < kShortRun) FindMatches(position, limit, previous, longest);
    } else {
      FindMatches(position, limit, previous, longest);
    }
    StoreCandidates(position, longest, previous);
    previous = longest;
  }
}

// Stores the matches of a position: which classes have one, whether all
// reach the longest length, and the matches themselves, in class order,
// unless they are the same as the position before's (inside long runs they
// are), which are then shared.
void OptimalParser::StoreCandidates(std::uint32_t position, const ClassMatches& longest,
                                    const ClassMatches& previous) {
  std::uint32_t classes = 0;
  std::uint32_t shorter = 0;  // classes whose match is below the longest length
  for (std::size_t c = 0; c < longest.size(); ++c) {
    classes |= std::uint32_t{longest[c].length >= kLh5MinMatch} << c;
    shorter |= std::uint32_t{longest[c].length < kLh5MaxMatch} << c;
  }
  if (classes == 0) return;
  candidateClasses_[position] = static_cast<std::uint16_t>(classes | ((classes & shorter) == 0 ? kAllLongest : 0));
  if (position > 0 && std::memcmp(longest.data(), previous.data(), sizeof longest) == 0) {
    candidateStart_[position] = candidateStart_[position - 1];
    return;
  }
  candidateStart_[position] = static_cast<std::uint32_t>(candidates_.size());
  for (std::uint32_t left = classes; left != 0; left &= left - 1) {
    candidates_.push_back(longest[static_cast<std::size_t>(std::countr_zero(left))]);
  }
}

// Lengths priced below the dearest length price, ascending, and for each
// length the index of the first such length above it and the first length
// above it at the dearest price. The lengths at the dearest price, mostly
// the great many the code lacks, are offered as one range per match
// instead.
void OptimalParser::ChooseLengths(const Lh5Prices& prices) {
  dearestLength_ = 0;
  cheapestLength_ = kUnreached;
  for (int length = kLh5MinMatch; length <= kLh5MaxMatch; ++length) {
    dearestLength_ = std::max(dearestLength_, prices.Length(length));
    cheapestLength_ = std::min(cheapestLength_, prices.Length(length));
  }
  for (std::size_t c = 0; c < classesByPrice_.size(); ++c) classesByPrice_[c] = static_cast<std::uint8_t>(c);
  std::stable_sort(classesByPrice_.begin(), classesByPrice_.end(),
                   [&](std::uint8_t a, std::uint8_t b) { return prices.distance[a] < prices.distance[b]; });
  cheapLengths_.clear();
  int nextDear = kLh5MaxMatch + 1;
  for (int length = kLh5MaxMatch; length >= 0; --length) {
    const auto at = static_cast<std::size_t>(length);
    firstCheapAbove_[at] = static_cast<std::uint16_t>(cheapLengths_.size());
    firstDearAbove_[at] = static_cast<std::uint16_t>(nextDear);
    if (length < kLh5MinMatch) continue;
    if (prices.Length(length) < dearestLength_) {
      cheapLengths_.push_back({static_cast<std::uint16_t>(length), prices.Length(length)});
    } else {
      nextDear = length;
    }
  }
  std::reverse(cheapLengths_.begin(), cheapLengths_.end());
  for (std::uint16_t& first : firstCheapAbove_) {
    first = static_cast<std::uint16_t>(cheapLengths_.size() - first);
  }
}

// Relaxes the matches of cheap lengths [first, last) from position.
void OptimalParser::RelaxCheapLengths(std::uint32_t position, std::uint32_t base, std::size_t first,
                                      std::size_t last, std::uint16_t distance) {
  const CheapLength* const lengths = cheapLengths_.data();
  std::uint32_t* const cost = pathCost_.data() + position;
  Lh5Token* const step = pathStep_.data() + position;
  for (std::size_t i = first; i < last; ++i) {
    const std::uint16_t length = lengths[i].length;
    const std::uint32_t matchCost = base + lengths[i].price;
    if (matchCost < cost[length]) {
      cost[length] = matchCost;
      step[length] = Lh5Token::Match(length, distance);
    }
  }
}

// Relaxes the matches from position: each cheap length with the cheapest
// distance class that reaches it, so a class is priced only for the lengths
// beyond what cheaper classes reach. The lengths at the dearest price are
// covered by one range offer per class: a match of that length costs the
// same wherever it ends, and offering it for the shorter, cheaper lengths
// too does no harm, as they are relaxed at their own price.
void OptimalParser::PriceMatches(std::uint32_t position, std::uint32_t end,
                                 const Lh5Prices& prices) {
  const std::uint32_t classes = candidateClasses_[position];
  if (classes == 0) return;
  const Candidate* const candidates = candidates_.data() + candidateStart_[position];
  const std::uint32_t here = pathCost_[position];
  const int limit = std::min<int>(static_cast<int>(end - position), kLh5MaxMatch);
  int covered = kLh5MinMatch - 1;
  for (const std::uint8_t distanceClass : classesByPrice_) {
    if ((classes >> distanceClass & 1) == 0) continue;
    const Candidate candidate = candidates[BitsSet(classes & ((1u << distanceClass) - 1))];
    const int top = std::min<int>(candidate.length, limit);
    if (top <= covered) continue;
    const std::uint32_t base = here + prices.distance[distanceClass];
    // Where the cheapest offer taken here reaches, no match from here can
    // be cheaper than it when its cheapest length is not.
    const bool behindOffer = base + cheapestLength_ >= takenOffer_.cost;
    const int from = behindOffer ? std::clamp(static_cast<int>(takenOffer_.last - position), covered, top) : covered;
    if ((classes & kAllLongest) != 0) {
      Relax(position + static_cast<std::uint32_t>(top), base + prices.Length(top), Lh5Token::Match(top, candidate.distance));
    } else {
      RelaxCheapLengths(position, base, firstCheapAbove_[static_cast<std::size_t>(from)],
                        firstCheapAbove_[static_cast<std::size_t>(top)], candidate.distance);
    }
    if (firstDearAbove_[static_cast<std::size_t>(from)] <= top) {
      waitingOffers_.push_back({base + dearestLength_, position,
                                position + static_cast<std::uint32_t>(top), candidate.distance});
    }
    covered = top;
    if (covered == limit) return;
  }
}

// Adds an offer to those that can be taken. Each distance class has a
// queue of offers of rising cost and rising last position, so its front is
// its cheapest offer still reaching; an offer that does not fit that order,
// cheaper than the queue's last one but ending before it, goes to the heap
// instead. An offer both dearer and ending sooner than another is dropped.
void OptimalParser::AddOffer(const RangeOffer& offer) {
  const int distanceClass = Lh5DistanceClass(offer.distance - 1u);
  OfferQueue& queue = offerQueues_[static_cast<std::size_t>(distanceClass)];
  std::vector<RangeOffer>& offers = queue.offers;
  while (offers.size() > queue.front && offers.back().cost >= offer.cost &&
         offers.back().last <= offer.last) {
    offers.pop_back();
  }
  if (offers.size() == queue.front || offers.back().last < offer.last) {
    offers.push_back(offer);
    liveQueues_ |= 1u << distanceClass;
  } else if (offers.back().cost >= offer.cost) {
    offerHeap_.push_back(offer);
    std::push_heap(offerHeap_.begin(), offerHeap_.end(), DearerFirst);
  }
}

// Takes the cheapest range offer that reaches position, if cheaper than
// what is there. An offer can be taken once its shortest match reaches
// position; offers that end before position are dropped.
void OptimalParser::TakeOffer(std::uint32_t position) {
  for (; firstWaiting_ < waitingOffers_.size() &&
         waitingOffers_[firstWaiting_].source + kLh5MinMatch <= position;
       ++firstWaiting_) {
    AddOffer(waitingOffers_[firstWaiting_]);
  }
  const RangeOffer* best = nullptr;
  for (std::uint32_t live = liveQueues_; live != 0; live &= live - 1) {
    const int distanceClass = std::countr_zero(live);
    OfferQueue& queue = offerQueues_[static_cast<std::size_t>(distanceClass)];
    while (queue.front < queue.offers.size() && queue.offers[queue.front].last < position) {
      ++queue.front;
    }
    if (queue.front == queue.offers.size()) {
      queue.offers.clear();
      queue.front = 0;
      liveQueues_ &= ~(1u << distanceClass);
    } else if (best == nullptr || queue.offers[queue.front].cost < best->cost) {
      best = &queue.offers[queue.front];
    }
  }
  while (!offerHeap_.empty() && offerHeap_.front().last < position) {
    std::pop_heap(offerHeap_.begin(), offerHeap_.end(), DearerFirst);
    offerHeap_.pop_back();
  }
  if (!offerHeap_.empty() && (best == nullptr || offerHeap_.front().cost < best->cost)) {
    best = &offerHeap_.front();
  }
  takenOffer_ = {kUnreached, position, position, 0};
  if (best != nullptr) {
    takenOffer_ = *best;
    Relax(position, best->cost,
          Lh5Token::Match(static_cast<int>(position - best->source), best->distance));
  }
}

void OptimalParser::Parse(std::uint32_t begin, std::uint32_t end, const Lh5Prices& prices,
                          std::vector<Lh5Token>& tokens) {
  ChooseLengths(prices);
  pathCost_.resize(length_ + 1);
  pathStep_.resize(length_ + 1);
  std::fill(pathCost_.begin() + begin, pathCost_.begin() + end + 1, kUnreached);
  pathCost_[begin] = 0;
  for (OfferQueue& queue : offerQueues_) {
    queue.offers.clear();
    queue.front = 0;
  }
  liveQueues_ = 0;
  offerHeap_.clear();
  waitingOffers_.clear();
  firstWaiting_ = 0;
  for (std::uint32_t position = begin; position < end; ++position) {
    TakeOffer(position);
    const std::uint8_t byte = data_[position];
    Relax(position + 1, pathCost_[position] + prices.symbol[byte], Lh5Token::Literal(byte));
    PriceMatches(position, end, prices);
  }
  TakeOffer(end);
  tokens.clear();
  for (std::uint32_t position = end; position > begin;) {
    const Lh5Token step = pathStep_[position];
    tokens.push_back(step);
    position -= static_cast<std::uint32_t>(step.Length());
  }
  std::reverse(tokens.begin(), tokens.end());
}

}  // namespace krelt
