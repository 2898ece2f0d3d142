#include "compress/huffman_tree.h"

#include "compress/lh5_block_writer.h"

namespace krelt {

int HuffmanTree::Build(int symbolCount, std::uint16_t* frequencies,
                       std::uint8_t* lengths, std::uint16_t* codes) {
  symbolCount_ = symbolCount;
  frequencies_ = frequencies;
  heapSize_ = 0;
  heap_[1] = 0;
  for (int symbol = 0; symbol < symbolCount; ++symbol) {
    lengths[symbol] = 0;
    if (frequencies[symbol] != 0) {
      heap_[++heapSize_] = static_cast<std::uint16_t>(symbol);
    }
  }
  if (heapSize_ < 2) {
    codes[heap_[1]] = 0;
    return heap_[1];
  }
  for (int i = heapSize_ / 2; i >= 1; --i) SiftDown(i);

  // The codes array doubles as the list of leaves in the order they leave
  // the heap, least frequent first.
  std::uint16_t* leafOrderEnd = codes;
  int nextNode = symbolCount;
  int node = 0;
  while (heapSize_ > 1) {
    const int first = heap_[1];
    if (first < symbolCount) *leafOrderEnd++ = static_cast<std::uint16_t>(first);
    heap_[1] = heap_[heapSize_--];
    SiftDown(1);
    const int second = heap_[1];
    if (second < symbolCount) *leafOrderEnd++ = static_cast<std::uint16_t>(second);
    node = nextNode++;
    frequencies[node] =
        static_cast<std::uint16_t>(frequencies[first] + frequencies[second]);
    heap_[1] = static_cast<std::uint16_t>(node);
    SiftDown(1);
    left_[node] = static_cast<std::uint16_t>(first);
    right_[node] = static_cast<std::uint16_t>(second);
  }
  LimitLengths(node, codes, lengths);
  AssignCanonicalCodes(lengths, symbolCount_, codes);
  return node;
}

// Moves the entry at index down to its place; on equal weights the left
// child is taken and the moving entry stays above it.
void HuffmanTree::SiftDown(int index) {
  const std::uint16_t entry = heap_[index];
  while (2 * index <= heapSize_) {
    int child = 2 * index;
    if (child < heapSize_ &&
        frequencies_[heap_[child]] > frequencies_[heap_[child + 1]]) {
      ++child;
    }
    if (frequencies_[entry] <= frequencies_[heap_[child]]) break;
    heap_[index] = heap_[child];
    index = child;
  }
  heap_[index] = entry;
}

// Counts the leaves at each depth; leaves deeper than 16 count as 16.
void HuffmanTree::CountDepths(int node, int depth) {
  if (node < symbolCount_) {
    ++lengthCounts_[depth < kLh5MaxCodeLength ? depth : kLh5MaxCodeLength];
    return;
  }
  CountDepths(left_[node], depth + 1);
  CountDepths(right_[node], depth + 1);
}

// Caps the code lengths at 16 bits while keeping a complete code, then hands
// the lengths out along the leaf order, longest to the rarest symbols.
void HuffmanTree::LimitLengths(int root, const std::uint16_t* leafOrder,
                               std::uint8_t* lengths) {
  lengthCounts_.fill(0);
  CountDepths(root, 0);
  std::uint32_t kraftSum = 0;
  for (int length = 1; length <= kLh5MaxCodeLength; ++length) {
    kraftSum += std::uint32_t{lengthCounts_[length]} << (kLh5MaxCodeLength - length);
  }
  while (kraftSum != (std::uint32_t{1} << kLh5MaxCodeLength)) {
    --lengthCounts_[kLh5MaxCodeLength];
    for (int length = kLh5MaxCodeLength - 1; length > 0; --length) {
      if (lengthCounts_[length] != 0) {
        --lengthCounts_[length];
        lengthCounts_[length + 1] += 2;
        break;
      }
    }
    --kraftSum;
  }
  for (int length = kLh5MaxCodeLength; length > 0; --length) {
    for (int k = lengthCounts_[length]; k > 0; --k) {
      lengths[*leafOrder++] = static_cast<std::uint8_t>(length);
    }
  }
}

}  // namespace krelt
