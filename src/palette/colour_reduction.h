#pragma once

// Building a colour table of at most N colours for a set of pictures, with
// libimagequant where the build has it.

#include <cstdint>
#include <utility>
#include <vector>

#include "common/status.h"
#include "image/colour_table.h"
#include "image/picture.h"

namespace krelt {

inline constexpr std::int32_t kMinReducedColours = 2;

// False in a build without libimagequant, which refuses to reduce colours.
bool CanReduceColours();

// The colours of a set of pictures with their pixel counts, kept in colour
// order so that the pictures may come in any order.
class ColourHistogram {
 public:
  // Counts the colours of a picture's pixels (palette entries widened to 8
  // bits, 5-5-5 values too); pixels of alpha below 128 only when
  // `withTransparent`.
  void AddPicture(const Picture& picture, bool withTransparent);

  // (0xRRGGBB, count), ascending by colour.
  const std::vector<std::pair<std::uint32_t, std::uint64_t>>& counts() const { return counts_; }

 private:
  std::vector<std::pair<std::uint32_t, std::uint64_t>> counts_;
};

// A table of at most `colours` (2..256) entries for the counted colours.
// The entries of `fixed` keep their colours and their places at the start
// of the table; `fixed` may be empty. Counted colours that fit keep their
// exact values.
Status ReduceColours(const ColourHistogram& histogram, std::int32_t colours,
                     const ColourTable& fixed, ColourTable& table);

}  // namespace krelt
