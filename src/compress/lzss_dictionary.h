#pragma once

#include <array>
#include <cstdint>

#include "compress/lh5_format.h"

namespace krelt {

// LZSS match finder over an 8 KiB sliding window. Every string of the last
// 8192 positions is kept in a Patricia trie whose children are found through
// a hash of (node, next byte); each internal node remembers the most recent
// position whose string passed through it, so a match points to the most
// recent occurrence of the longest matching string (at most 256 bytes).
class LzssDictionary {
 public:
  static constexpr int kWindowSize = kLh5WindowSize;
  static constexpr int kMaxMatch = kLh5MaxMatch;
  static constexpr int kMinMatch = kLh5MinMatch;

  // Starts a chunk of 1 to 32762 bytes, which must stay valid while its
  // tokens are taken. The window starts out zero-filled, so the tokens
  // depend on the chunk's bytes alone.
  void Start(const std::uint8_t* chunk, std::uint32_t length);

  // True once the tokens taken cover every byte of the chunk.
  bool Finished() const { return remaining_ <= 0; }

  // Gives the next token of the chunk, which must not be finished. Each
  // match takes one step of lazy evaluation: it is dropped for a literal
  // when the next position matches longer.
  Lh5Token NextToken();

 private:
  // Node numbers: 1..8191 internal nodes; 8192 + c the root of the strings
  // starting with byte c; 8192..16383 leaves, numbered by the window
  // position their string starts at; from 16384 on the chain heads in
  // next_: 65536 hashed heads of the internal nodes' children, then one
  // head for each root and byte.
  static constexpr int kRootBase = kWindowSize;
  static constexpr int kNodeArraySize = kWindowSize + 256;
  static constexpr int kLinkArraySize = 2 * kWindowSize;
  static constexpr int kHashBase = 2 * kWindowSize;
  static constexpr int kHashBits = 16;
  static constexpr int kHashMask = (1 << kHashBits) - 1;
  // Odd, so that byte * kHashMultiplier differs for every byte modulo the
  // head count.
  static constexpr int kHashMultiplier = 0x9E37;
  static constexpr int kRootHeadBase = kHashBase + (1 << kHashBits);
  static constexpr int kNextArraySize = kRootHeadBase + 256 * 256;
  static_assert(kWindowSize <= (1 << kHashBits) && 256 <= (1 << kHashBits));
  static_assert(kHashMultiplier % 2 == 1);
  static_assert(kLinkArraySize <= 0x10000, "nodes are stored in 16-bit links");
  static constexpr int kTextSize = 2 * kWindowSize + kMaxMatch;
  // Set on a node position not yet carried into the node's ancestors.
  static constexpr unsigned kDeferredMark = 0x8000;

  // An internal node or a root, in four bytes: what a step through the
  // trie reads of it sits in one cache line.
  struct Node {
    // The most recent window position whose string passed through the
    // node, with kDeferredMark while not yet carried into its ancestors.
    std::uint16_t position;
    std::uint8_t level;  // length of the strings the node stands for
    std::uint8_t childCount;
  };

  // The chain of node's child for byte. A root has a head of its own for
  // each byte, so its chains hold one child at most: the strings' first
  // two bytes are the busiest lookups. For an internal node the node number
  // is xor-ed with the byte times an odd number: two children of one node
  // never share a chain (a chain walk compares parents only), nodes
  // numbered close together keep their heads close together, and bytes
  // close in value (the grain of a photo) spread over all heads instead of
  // crowding the heads of a few high bits.
  static constexpr int ChildHead(int node, int byte) {
    if (node >= kRootBase) return kRootHeadBase + ((node - kRootBase) << 8 | byte);
    return kHashBase + (node ^ ((byte * kHashMultiplier) & kHashMask));
  }

  std::uint32_t ReadInput(std::uint8_t* destination, std::uint32_t count);
  void InitDictionary();
  int FindChild(int node, int byte);
  void AddChild(int node, int byte, int child);
  void Unlink(int node);
  void TakePlace(int node, int old);
  void SplitNode(int old);
  void ReplaceLeaf(int oldLeaf);
  void InsertNode();
  void DeleteNode();
  void AdvancePosition();
  void ClipMatchLength();
  int LowerIfPrevious(int storedPosition) const;

  const std::uint8_t* input_ = nullptr;
  std::uint32_t chunkLength_ = 0;
  std::uint32_t readOffset_ = 0;
  int position_ = 0;       // 8192..16383
  int matchPosition_ = 0;  // lowered by 8192 when in the previous window
  int matchLength_ = 0;
  int remaining_ = 0;      // chunk bytes from position_ to the chunk's end
  int freeListHead_ = 0;

  // 8192..16383 the current window, then 256 bytes of lookahead; 0..8191
  // hold the previous window after a slide.
  std::array<std::uint8_t, kTextSize> text_{};
  std::array<Node, kNodeArraySize> nodes_{};
  std::array<std::uint16_t, kLinkArraySize> parent_{};
  // A node's predecessor in its chain: a node or a head.
  std::array<std::uint32_t, kLinkArraySize> previous_{};
  std::array<std::uint16_t, kNextArraySize> next_{};
};

}  // namespace krelt
