#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "compress/lh5_format.h"

namespace krelt {

// Chooses where to cut a chunk's tokens into lh5 blocks so that the blocks,
// tables included, come out small: regions with different statistics (a
// flat panel, then a colour ramp, then noise) each get codes of their own.
// The token list is seen as segments of equal token counts, and the best
// cuts between segments are found by dynamic programming over an estimate
// of each block's size: the entropy of its symbol and distance-class counts
// plus the cost of its tables. Each cut is then moved to the token where
// the estimate of its two blocks is smallest, and cuts that no longer pay
// are dropped. Returns the end index of each block, the last
// one being tokens.size(); a single block gives {tokens.size()}, as does a
// list longer than a chunk can hold.
std::vector<std::size_t> ChooseBlockEnds(std::span<const Lh5Token> tokens);

}  // namespace krelt
