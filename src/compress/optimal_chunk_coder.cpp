#include "compress/optimal_chunk_coder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "compress/block_splitter.h"

namespace krelt {
namespace {

constexpr int kHashBits = 15;
// Tree nodes looked at per position, and the bytes the tree compares;
// the longest match is then followed further at its distance.
constexpr int kMaxTreeSteps = 256;
constexpr int kTreeLength = 64;
// From this length on, only the longest match of each candidate is priced:
// inside long repeats every shorter length is reached as well through the
// position before.
constexpr int kNiceLength = 64;
constexpr int kChunkParseRounds = 4;
constexpr int kBlockParseRounds = 3;
constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();

std::uint32_t Hash3(const std::uint8_t* bytes) {
  const std::uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16);
  return (value * 2654435761u) >> (32 - kHashBits);
}

// Price of a symbol: its code length, and for one the code lacks a little
// more than the longest, so that it stays possible but unlikely.
struct Prices {
  std::array<std::uint32_t, kLh5SymbolCount> symbol{};
  std::array<std::uint32_t, kLh5DistanceClassCount> distance{};

  explicit Prices(const Lh5BlockCode& code) {
    int longest = 1;
    for (int s = 0; s < kLh5SymbolCount; ++s) longest = std::max(longest, code.SymbolLength(s));
    for (int s = 0; s < kLh5SymbolCount; ++s) {
      symbol[static_cast<std::size_t>(s)] = static_cast<std::uint32_t>(
          code.UsesSymbol(s) ? std::max(code.SymbolLength(s), 1) : longest + 2);
    }
    for (int c = 0; c < kLh5DistanceClassCount; ++c) {
      distance[static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(
          code.UsesDistanceClass(c) ? std::max(code.DistanceBits(c), 1)
                                    : Lh5DistanceExtraBits(c) + 6);
    }
  }
};

}  // namespace

// Binary trees over the chunk, one per hash of the first three bytes:
// positions ordered by the bytes that follow them, the most recent at the
// root. Entering a position walks down from the root, meeting earlier
// positions that share ever more bytes with it, and re-roots the tree at it.
// The walk records each match longer than the ones before, so a position
// gets its matches of growing length.
void OptimalChunkCoder::FindCandidates() {
  constexpr std::int32_t kNone = -1;
  hashHead_.assign(std::size_t{1} << kHashBits, kNone);
  children_.assign(2 * std::size_t{length_}, kNone);
  candidateStart_.resize(length_ + 1);
  candidates_.clear();
  Candidate previousLongest{0, 0};
  for (std::uint32_t position = 0; position < length_; ++position) {
    candidateStart_[position] = static_cast<std::uint32_t>(candidates_.size());
    if (position + kLh5MinMatch > length_) continue;
    const int matchLimit = static_cast<int>(std::min<std::uint32_t>(kLh5MaxMatch, length_ - position));
    const int limit = std::min(matchLimit, kTreeLength);
    const std::uint8_t* here = chunk_ + position;
    std::int32_t& head = hashHead_[Hash3(here)];
    std::int32_t source = head;
    head = static_cast<std::int32_t>(position);
    // Where the next smaller and the next greater subtree hang.
    std::int32_t* smallerLink = &children_[2 * std::size_t{position}];
    std::int32_t* greaterLink = &children_[2 * std::size_t{position} + 1];
    int smallerLength = 0;  // bytes the smaller side surely shares
    int greaterLength = 0;
    int best = kLh5MinMatch - 1;
    for (int step = 0;; ++step) {
      if (source == kNone || static_cast<int>(position) - source > kLh5WindowSize ||
          step == kMaxTreeSteps) {
        *smallerLink = kNone;
        *greaterLink = kNone;
        break;
      }
      const std::uint8_t* there = chunk_ + source;
      std::int32_t* pair = &children_[2 * static_cast<std::size_t>(source)];
      int length = std::min(smallerLength, greaterLength);
      while (length < limit && there[length] == here[length]) ++length;
      if (length > best) {
        best = length;
        candidates_.push_back({static_cast<std::uint16_t>(length),
                               static_cast<std::uint16_t>(position - static_cast<std::uint32_t>(source))});
      }
      if (length == limit) {
        // Equal as far as the tree looks: the source's subtrees become ours.
        *smallerLink = pair[0];
        *greaterLink = pair[1];
        break;
      }
      if (there[length] < here[length]) {
        *smallerLink = source;
        smallerLink = &pair[1];
        source = pair[1];
        smallerLength = length;
      } else {
        *greaterLink = source;
        greaterLink = &pair[0];
        source = pair[0];
        greaterLength = length;
      }
    }
    if (best == limit && limit < matchLimit) ExtendLongest(position, matchLimit, previousLongest);
    previousLongest = candidates_.size() > candidateStart_[position] ? candidates_.back()
                                                                    : Candidate{0, 0};
  }
  candidateStart_[length_] = static_cast<std::uint32_t>(candidates_.size());
}

// Lengthens the position's longest match beyond what the tree compares. A
// match at the same distance as the previous position's is known to reach
// one byte less than that one did.
void OptimalChunkCoder::ExtendLongest(std::uint32_t position, int matchLimit,
                                      Candidate previousLongest) {
  Candidate& longest = candidates_.back();
  int length = longest.length;
  if (previousLongest.distance == longest.distance && previousLongest.length - 1 > length) {
    length = previousLongest.length - 1;
  }
  const std::uint8_t* here = chunk_ + position;
  const std::uint8_t* there = here - longest.distance;
  while (length < matchLimit && there[length] == here[length]) ++length;
  longest.length = static_cast<std::uint16_t>(length);
}

void OptimalChunkCoder::Parse(std::uint32_t begin, std::uint32_t end,
                              const Lh5BlockCode& code, Tokens& tokens) {
  const Prices prices(code);
  pathCost_.resize(length_ + 1);
  pathStep_.resize(length_ + 1);
  std::fill(pathCost_.begin() + begin, pathCost_.begin() + end + 1, kUnreached);
  pathCost_[begin] = 0;
  const auto relax = [&](std::uint32_t to, std::uint32_t cost, Lh5Token step) {
    if (cost < pathCost_[to]) {
      pathCost_[to] = cost;
      pathStep_[to] = step;
    }
  };
  for (std::uint32_t position = begin; position < end; ++position) {
    const std::uint32_t here = pathCost_[position];
    if (here == kUnreached) continue;
    relax(position + 1, here + prices.symbol[chunk_[position]],
          Lh5Token::Literal(chunk_[position]));
    const Candidate* first = candidates_.data() + candidateStart_[position];
    const Candidate* last = candidates_.data() + candidateStart_[position + 1];
    if (first == last) continue;
    const int limit = static_cast<int>(end - position);
    const bool longRepeat = std::min<int>(last[-1].length, limit) >= kNiceLength;
    int length = kLh5MinMatch;
    for (const Candidate* candidate = first; candidate != last && length <= limit; ++candidate) {
      const int top = std::min<int>(candidate->length, limit);
      const int distanceClass = Lh5DistanceClass(candidate->distance - 1u);
      const std::uint32_t distanceCost =
          here + prices.distance[static_cast<std::size_t>(distanceClass)];
      if (longRepeat) length = std::max(length, top);
      for (; length <= top; ++length) {
        relax(position + static_cast<std::uint32_t>(length),
              distanceCost + prices.symbol[static_cast<std::size_t>(length + kLh5MatchSymbolOffset)],
              Lh5Token::Match(length, candidate->distance));
      }
    }
  }
  tokens.clear();
  for (std::uint32_t position = end; position > begin;) {
    const Lh5Token step = pathStep_[position];
    tokens.push_back(step);
    position -= static_cast<std::uint32_t>(step.Length());
  }
  std::reverse(tokens.begin(), tokens.end());
}

Lh5BlockCode OptimalChunkCoder::ImproveParse(std::uint32_t begin, std::uint32_t end,
                                             Tokens& tokens, Lh5BlockCode code) {
  const int rounds = begin == 0 && end == length_ ? kChunkParseRounds : kBlockParseRounds;
  Tokens trial;
  for (int round = 0; round < rounds; ++round) {
    Parse(begin, end, code, trial);
    Lh5BlockCode trialCode(trial);
    if (trialCode.BlockBits() >= code.BlockBits()) break;
    tokens.swap(trial);
    code = trialCode;
  }
  return code;
}

// Writes the blocks and pads to a byte. Some decoders stop early when the
// data end on a byte boundary right after a match whose distance takes no
// bits; such an ending is avoided by sending the match's last byte as a
// literal.
std::optional<std::uint32_t> OptimalChunkCoder::WriteBlocks(std::uint8_t* out,
                                                            std::uint32_t limit) {
  while (true) {
    BitWriter bits;
    bits.Start(out, limit);
    const Lh5BlockCode* lastCode = nullptr;
    std::optional<Lh5BlockCode> code;
    for (const Tokens& block : blocks_) {
      code.emplace(block);
      if (!code->Write(bits, block)) return std::nullopt;
      lastCode = &*code;
    }
    Tokens& lastBlock = blocks_.back();
    const Lh5Token last = lastBlock.back();
    const bool silentEnd = bits.bitCount() % 8 == 0 && last.IsMatch() &&
                           lastCode->DistanceBits(last.DistanceClass()) == 0;
    if (!silentEnd) {
      if (!bits.Flush()) return std::nullopt;
      return bits.count();
    }
    const int length = last.Length();
    const std::uint8_t finalByte = chunk_[length_ - 1];
    lastBlock.pop_back();
    if (length > kLh5MinMatch) {
      lastBlock.push_back(Lh5Token::Match(length - 1, last.distanceCode + 1));
    } else {
      for (int i = kLh5MinMatch; i > 1; --i) {
        lastBlock.push_back(Lh5Token::Literal(chunk_[length_ - static_cast<std::uint32_t>(i)]));
      }
    }
    lastBlock.push_back(Lh5Token::Literal(finalByte));
  }
}

// Cuts the chunk's tokens into blocks where that is smaller than the one
// block of singleBits, then parses each block again, priced by its own codes.
void OptimalChunkCoder::SplitIntoBlocks(const Tokens& tokens, std::uint64_t singleBits) {
  blocks_.clear();
  std::vector<Lh5BlockCode> codes;
  std::uint64_t splitBits = 0;
  std::size_t first = 0;
  for (const std::size_t end : ChooseBlockEnds(tokens)) {
    blocks_.emplace_back(tokens.begin() + static_cast<std::ptrdiff_t>(first),
                         tokens.begin() + static_cast<std::ptrdiff_t>(end));
    splitBits += codes.emplace_back(blocks_.back()).BlockBits();
    first = end;
  }
  if (blocks_.size() == 1 || splitBits >= singleBits) {
    blocks_.assign(1, tokens);
    return;
  }
  std::uint32_t byte = 0;
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    std::uint32_t blockEnd = byte;
    for (const Lh5Token& token : blocks_[i]) blockEnd += static_cast<std::uint32_t>(token.Length());
    ImproveParse(byte, blockEnd, blocks_[i], std::move(codes[i]));
    byte = blockEnd;
  }
}

std::optional<std::uint32_t> OptimalChunkCoder::EncodeChunk(std::uint8_t* codedOut,
                                                            const std::uint8_t* chunkIn,
                                                            std::uint32_t chunkLength) {
  chunk_ = chunkIn;
  length_ = chunkLength;
  // The default form is the size to beat; its tokens price the first parse.
  Tokens tokens;
  const std::optional<std::uint32_t> defaultLength =
      defaultCoder_.EncodeChunk(codedOut, chunkIn, chunkLength, &tokens);
  if (!defaultLength) {
    // Coding stopped early: the chunk is priced as literals.
    tokens.clear();
    for (std::uint32_t i = 0; i < chunkLength; ++i) tokens.push_back(Lh5Token::Literal(chunkIn[i]));
  }
  FindCandidates();
  const Lh5BlockCode chunkCode = ImproveParse(0, length_, tokens, Lh5BlockCode(tokens));
  SplitIntoBlocks(tokens, chunkCode.BlockBits());
  const std::uint32_t limit = defaultLength.value_or(chunkLength);
  const std::optional<std::uint32_t> optimalLength = WriteBlocks(scratch_.data(), limit);
  if (!optimalLength || *optimalLength >= limit) return defaultLength;
  std::memcpy(codedOut, scratch_.data(), *optimalLength);
  return optimalLength;
}

}  // namespace krelt
