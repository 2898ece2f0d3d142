#include "compress/length_limited_code.h"

#include <algorithm>
#include <vector>

namespace krelt {
namespace {

// One list of package-merge: item weights in increasing order and, per
// item, whether it is a leaf (else a package of two items of the list below).
struct MergedList {
  std::vector<std::uint64_t> weights;
  std::vector<bool> isLeaf;
};

MergedList MergeWithPackages(const std::vector<std::uint64_t>& leafWeights,
                             const MergedList& below) {
  MergedList list;
  const std::size_t packageCount = below.weights.size() / 2;
  list.weights.reserve(leafWeights.size() + packageCount);
  list.isLeaf.reserve(leafWeights.size() + packageCount);
  std::size_t leaf = 0;
  std::size_t package = 0;
  while (leaf < leafWeights.size() || package < packageCount) {
    const bool takeLeaf =
        package == packageCount ||
        (leaf < leafWeights.size() &&
         leafWeights[leaf] <= below.weights[2 * package] + below.weights[2 * package + 1]);
    if (takeLeaf) {
      list.weights.push_back(leafWeights[leaf++]);
    } else {
      list.weights.push_back(below.weights[2 * package] + below.weights[2 * package + 1]);
      ++package;
    }
    list.isLeaf.push_back(takeLeaf);
  }
  return list;
}

// Huffman code lengths of weights sorted in increasing order, computed in
// place (Moffat and Katajainen): on return weights[i] is the length of the
// i-th lightest symbol. Needs at least two weights.
void HuffmanLengthsInPlace(std::vector<std::uint64_t>& weights) {
  const std::size_t n = weights.size();
  std::uint64_t* a = weights.data();
  // First pass: internal nodes take the slots of the weights they use up;
  // each consumed internal node's slot then holds its parent.
  a[0] += a[1];
  std::size_t root = 0;
  std::size_t leaf = 2;
  for (std::size_t next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  // Second pass: depths of the internal nodes.
  a[n - 2] = 0;
  for (std::size_t next = n - 2; next-- > 0;) a[next] = a[a[next]] + 1;
  // Third pass: depths of the leaves, deepest first.
  std::size_t available = 1;
  std::size_t depth = 0;
  std::ptrdiff_t internal = static_cast<std::ptrdiff_t>(n) - 2;
  std::ptrdiff_t next = static_cast<std::ptrdiff_t>(n) - 1;
  while (available > 0) {
    std::size_t used = 0;
    while (internal >= 0 && a[internal] == depth) {
      ++used;
      --internal;
    }
    while (available > used) {
      a[next--] = depth;
      --available;
    }
    available = 2 * used;
    ++depth;
  }
}

}  // namespace

void OptimalCodeLengths(std::span<const std::uint32_t> frequencies, int maxLength,
                        std::span<std::uint8_t> lengths) {
  std::fill(lengths.begin(), lengths.end(), 0);
  std::vector<std::uint16_t> used;
  for (std::size_t symbol = 0; symbol < frequencies.size(); ++symbol) {
    if (frequencies[symbol] != 0) used.push_back(static_cast<std::uint16_t>(symbol));
  }
  if (used.size() < 2) return;
  std::stable_sort(used.begin(), used.end(), [&](std::uint16_t a, std::uint16_t b) {
    return frequencies[a] < frequencies[b];
  });
  std::vector<std::uint64_t> leafWeights(used.size());
  std::transform(used.begin(), used.end(), leafWeights.begin(),
                 [&](std::uint16_t symbol) { return frequencies[symbol]; });
  // A Huffman code within the limit is optimal; package-merge only when the
  // limit bites.
  std::vector<std::uint64_t> huffman = leafWeights;
  HuffmanLengthsInPlace(huffman);
  if (huffman.front() <= static_cast<std::uint64_t>(maxLength)) {
    for (std::size_t i = 0; i < used.size(); ++i) lengths[used[i]] = static_cast<std::uint8_t>(huffman[i]);
    return;
  }

  // lists[0] belongs to code length 1, lists[maxLength - 1] to the deepest
  // level, which holds only the leaves.
  std::vector<MergedList> lists(static_cast<std::size_t>(maxLength));
  lists.back().weights = leafWeights;
  lists.back().isLeaf.assign(leafWeights.size(), true);
  for (int level = maxLength - 2; level >= 0; --level) {
    lists[static_cast<std::size_t>(level)] =
        MergeWithPackages(leafWeights, lists[static_cast<std::size_t>(level) + 1]);
  }
  // The 2n - 2 lightest items of the top list form the code; every level a
  // leaf is selected at adds one bit to its length. Leaves are selected
  // lightest first, so per level a count says which.
  std::size_t selected = 2 * used.size() - 2;
  for (const MergedList& list : lists) {
    const auto leafCount = static_cast<std::size_t>(
        std::count(list.isLeaf.begin(), list.isLeaf.begin() + static_cast<std::ptrdiff_t>(selected), true));
    for (std::size_t i = 0; i < leafCount; ++i) ++lengths[used[i]];
    selected = 2 * (selected - leafCount);
  }
}

}  // namespace krelt
