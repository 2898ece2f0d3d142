#include "compress/lzss_dictionary.h"

#include <algorithm>
#include <cstring>

namespace krelt {
namespace {

// Window bytes read ahead of the position at the start of a chunk: the
// window and the longest match.
constexpr std::uint32_t kInitialRead =
    LzssDictionary::kWindowSize + LzssDictionary::kMaxMatch;
constexpr unsigned kPositionMask = 0x7FFF;

}  // namespace

void LzssDictionary::Start(const std::uint8_t* chunk, std::uint32_t length) {
  input_ = chunk;
  chunkLength_ = length;
  readOffset_ = 0;
  InitDictionary();
  text_.fill(0);
  remaining_ = static_cast<int>(ReadInput(&text_[kWindowSize], kInitialRead));
  matchLength_ = 0;
  position_ = kWindowSize;
  InsertNode();
  ClipMatchLength();
}

Lh5Token LzssDictionary::NextToken() {
  const int lastLength = matchLength_;
  const int lastPosition = matchPosition_;
  AdvancePosition();
  ClipMatchLength();
  // Keep the match found one position back unless this one is longer.
  if (matchLength_ > lastLength || lastLength < kMinMatch) {
    return Lh5Token::Literal(text_[position_ - 1]);
  }
  // The mask brings a source counted in the other window numbering back.
  const Lh5Token token =
      Lh5Token::Match(lastLength, ((position_ - lastPosition - 2) & (kWindowSize - 1)) + 1);
  for (int step = 1; step < lastLength; ++step) AdvancePosition();
  ClipMatchLength();
  return token;
}

std::uint32_t LzssDictionary::ReadInput(std::uint8_t* destination,
                                        std::uint32_t count) {
  const std::uint32_t copied = std::min(count, chunkLength_ - readOffset_);
  if (copied != 0) std::memcpy(destination, input_ + readOffset_, copied);
  readOffset_ += copied;
  return copied;
}

void LzssDictionary::InitDictionary() {
  for (int root = kRootBase; root < kRootBase + 256; ++root) {
    nodes_[root].level = 1;
    nodes_[root].position = 0;
  }
  std::fill(parent_.begin() + kWindowSize, parent_.end(), 0);
  freeListHead_ = 1;
  for (int node = 1; node < kWindowSize - 1; ++node) {
    next_[node] = static_cast<std::uint16_t>(node + 1);
  }
  next_[kWindowSize - 1] = 0;
  std::fill(next_.begin() + kHashBase, next_.end(), 0);
}

// Returns the child of node whose edge starts with byte, 0 when there is
// none. The sentinel's parent is set to node to end the chain walk.
int LzssDictionary::FindChild(int node, int byte) {
  int child = next_[ChildHead(node, byte)];
  parent_[0] = static_cast<std::uint16_t>(node);
  while (parent_[child] != node) child = next_[child];
  return child;
}

// Takes node out of its chain.
void LzssDictionary::Unlink(int node) {
  const int before = static_cast<int>(previous_[node]);
  const int after = next_[node];
  next_[before] = static_cast<std::uint16_t>(after);
  previous_[after] = static_cast<std::uint32_t>(before);
}

// Puts node in old's place in the trie: same parent, same chain.
void LzssDictionary::TakePlace(int node, int old) {
  const int before = static_cast<int>(previous_[old]);
  previous_[node] = static_cast<std::uint32_t>(before);
  next_[before] = static_cast<std::uint16_t>(node);
  const int after = next_[old];
  next_[node] = static_cast<std::uint16_t>(after);
  previous_[after] = static_cast<std::uint32_t>(node);
  parent_[node] = parent_[old];
}

// Puts child at the front of the chain of node's children for byte.
void LzssDictionary::AddChild(int node, int byte, int child) {
  const int head = ChildHead(node, byte);
  const int first = next_[head];
  next_[head] = static_cast<std::uint16_t>(child);
  next_[child] = static_cast<std::uint16_t>(first);
  previous_[first] = static_cast<std::uint32_t>(child);
  previous_[child] = static_cast<std::uint32_t>(head);
  parent_[child] = static_cast<std::uint16_t>(node);
  ++nodes_[node].childCount;
}

// The string at the current position leaves the edge into old after
// matchLength_ bytes: a new internal node takes old's place, with old and
// the new leaf as its children.
void LzssDictionary::SplitNode(int old) {
  const int node = freeListHead_;
  freeListHead_ = next_[node];
  nodes_[node].childCount = 0;
  TakePlace(node, old);
  nodes_[node].level = static_cast<std::uint8_t>(matchLength_);
  nodes_[node].position = static_cast<std::uint16_t>(position_);
  AddChild(node, text_[matchPosition_ + matchLength_], old);
  AddChild(node, text_[position_ + matchLength_], position_);
}

// A full-length match ends at oldLeaf: the current position takes its place,
// and oldLeaf's next link points at its replacement.
void LzssDictionary::ReplaceLeaf(int oldLeaf) {
  TakePlace(position_, oldLeaf);
  parent_[oldLeaf] = 0;
  next_[oldLeaf] = static_cast<std::uint16_t>(position_);
}

int LzssDictionary::LowerIfPrevious(int storedPosition) const {
  return storedPosition >= position_ ? storedPosition - kWindowSize : storedPosition;
}

// Enters the string at the current position and leaves the longest match in
// matchLength_ and matchPosition_.
[[gnu::always_inline]] inline void LzssDictionary::InsertNode() {
  int node;
  int child;
  if (matchLength_ >= 4) {
    // This position matches at least matchLength_ - 1 bytes of the string
    // after the previous match's source: start from that leaf's ancestors.
    --matchLength_;
    child = (matchPosition_ + 1) | kWindowSize;
    while ((node = parent_[child]) == 0) child = next_[child];
    while (nodes_[node].level >= matchLength_) {
      child = node;
      node = parent_[node];
    }
    // The upper nodes are not passed: refresh the marked ones and mark the
    // first unmarked internal node.
    int up = node;
    while ((nodes_[up].position & kDeferredMark) != 0) {
      nodes_[up].position = static_cast<std::uint16_t>(position_);
      up = parent_[up];
    }
    if (up < kWindowSize) {
      nodes_[up].position = static_cast<std::uint16_t>(position_ | kDeferredMark);
    }
  } else {
    node = kRootBase + text_[position_];
    const int byte = text_[position_ + 1];
    // A root's chain holds its child for byte alone, if there is one.
    child = next_[ChildHead(node, byte)];
    if (child == 0) {
      AddChild(node, byte, position_);
      matchLength_ = 1;
      return;
    }
    matchLength_ = 2;
  }
  for (;;) {
    int edgeEnd;
    if (child >= kWindowSize) {
      edgeEnd = kMaxMatch;
      matchPosition_ = child;
    } else {
      edgeEnd = nodes_[child].level;
      matchPosition_ = nodes_[child].position & kPositionMask;
    }
    matchPosition_ = LowerIfPrevious(matchPosition_);
    const std::uint8_t* ahead = &text_[position_];
    const std::uint8_t* source = &text_[matchPosition_];
    while (matchLength_ < edgeEnd) {
      if (ahead[matchLength_] != source[matchLength_]) {
        SplitNode(child);
        return;
      }
      ++matchLength_;
    }
    if (matchLength_ >= kMaxMatch) break;
    nodes_[child].position = static_cast<std::uint16_t>(position_);
    node = child;
    const int byte = ahead[matchLength_];
    child = FindChild(node, byte);
    if (child == 0) {
      AddChild(node, byte, position_);
      return;
    }
    ++matchLength_;
  }
  ReplaceLeaf(child);
}

// Removes the leaf of the current position, entered 8192 positions earlier.
// An internal node left with one child is removed too, its most recent
// position carried into its marked ancestors.
[[gnu::always_inline]] inline void LzssDictionary::DeleteNode() {
  const int node = parent_[position_];
  if (node == 0) return;
  Unlink(position_);
  parent_[position_] = 0;
  if (node >= kWindowSize || --nodes_[node].childCount > 1) return;

  const int nodeStart = LowerIfPrevious(nodes_[node].position & kPositionMask);
  int latest = nodeStart;
  int up = parent_[node];
  unsigned stored;
  while (((stored = nodes_[up].position) & kDeferredMark) != 0) {
    latest = std::max(latest, LowerIfPrevious(stored & kPositionMask));
    nodes_[up].position = static_cast<std::uint16_t>(latest | kWindowSize);
    up = parent_[up];
  }
  if (up < kWindowSize) {
    latest = std::max(latest, LowerIfPrevious(static_cast<int>(stored)));
    nodes_[up].position =
        static_cast<std::uint16_t>(latest | kWindowSize | kDeferredMark);
  }

  const int onlyChild = FindChild(node, text_[nodeStart + nodes_[node].level]);
  Unlink(onlyChild);
  TakePlace(onlyChild, node);
  parent_[node] = 0;
  next_[node] = static_cast<std::uint16_t>(freeListHead_);
  freeListHead_ = node;
}

// Moves to the next position, sliding the window when it reaches its end.
// The three steps of a position are always inlined into NextToken: left to
// the compiler, they stayed calls, which took 15 to 17 % more time on flat
// and OSD pictures and 9 % more on noisy ones.
[[gnu::always_inline]] inline void LzssDictionary::AdvancePosition() {
  --remaining_;
  if (++position_ == 2 * kWindowSize) {
    std::memmove(&text_[0], &text_[kWindowSize], kWindowSize + kMaxMatch);
    remaining_ += static_cast<int>(ReadInput(&text_[kInitialRead], kWindowSize));
    position_ = kWindowSize;
  }
  DeleteNode();
  InsertNode();
}

// No match reaches past the chunk's end.
void LzssDictionary::ClipMatchLength() {
  matchLength_ = std::min(matchLength_, remaining_);
}

}  // namespace krelt
