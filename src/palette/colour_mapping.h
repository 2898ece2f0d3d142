#pragma once

// Mapping a picture onto a colour table: every pixel becomes the index of
// the table entry that shows it best. Distances are squared Euclidean
// distances in Oklab, a perceptual colour space; of equally near entries
// the lowest index wins, so the result never depends on anything but the
// picture and the table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"
#include "image/colour_table.h"
#include "image/picture.h"

namespace krelt {

enum class Dithering { kNone, kDiffusion };

struct MappingOptions {
  // Floyd-Steinberg error diffusion for pictures without a palette.
  Dithering dithering = Dithering::kNone;
  // The index pixels of alpha below 128 get; without one they keep the
  // colour under them.
  std::optional<std::uint8_t> transparentIndex;
};

// What a mapping changed, for the notices a conversion shows.
struct MappingReport {
  // Distinct colours of the picture the table does not hold exactly:
  // palette entries the pixels use (compared at the six bits a component
  // palettes carry), or 8-bit colours of pictures without a palette.
  std::size_t missingColours = 0;
  // Of those, the one that moved farthest and the entry it became.
  Rgb farthestColour;
  Rgb farthestShownAs;
  // Pixels of alpha below 128.
  std::size_t transparentPixels = 0;
};

// The 8-bit colour a pixel of an indexed, 16-colour, RGB or 5-5-5 picture
// shows: palette entries and 5-bit components widened by repeating their
// top bits.
Rgb PixelColour(const Picture& picture, std::size_t pixel);

// Whether the pixel's alpha, when the picture has one, is below 128.
bool IsTransparent(const Picture& picture, std::size_t pixel);

// Nearest-colour search over a table.
class ColourMatcher {
 public:
  explicit ColourMatcher(const ColourTable& table);
  // The index of the entry nearest to the colour.
  std::uint8_t Nearest(Rgb colour) const;

 private:
  struct Entry {
    float l, a, b;
    std::uint8_t index;
  };
  std::vector<Entry> byLightness_;  // ascending lightness
};

// Maps a picture (indexed, 16-colour, RGB, or 5-5-5 16-bit values; alpha
// when it carries one) onto the table: one index a pixel.
Status MapPicture(const Picture& picture, const ColourTable& table,
                  const MappingOptions& options, std::vector<std::uint8_t>& indices,
                  MappingReport& report);

// The notices a report gives, empty when every colour was in the table and
// no pixel was transparent: "12 colours are not in the colour table; the
// farthest, (200, 10, 10), is shown as (198, 12, 8)".
std::vector<std::string> MappingNotices(const MappingReport& report,
                                        const MappingOptions& options);

}  // namespace krelt
