#include "palette/colour_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "image/high_colour.h"

namespace krelt {
namespace {

constexpr std::uint8_t kOpaqueFrom = 128;

struct Lab {
  float l, a, b;
};

// sRGB components to linear light, by the sRGB transfer function.
const std::array<float, 256>& LinearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> values{};
    for (std::size_t k = 0; k < values.size(); ++k) {
      const double c = static_cast<double>(k) / 255.0;
      values[k] = static_cast<float>(c <= 0.04045 ? c / 12.92
                                                  : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return values;
  }();
  return table;
}

// Oklab of an sRGB colour (Björn Ottosson's matrices).
Lab ToOklab(Rgb colour) {
  const std::array<float, 256>& linear = LinearTable();
  const float r = linear[colour.red], g = linear[colour.green], b = linear[colour.blue];
  const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
          1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
          0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

float SquaredDistance(const Lab& x, const Lab& y) {
  const float dl = x.l - y.l, da = x.a - y.a, db = x.b - y.b;
  return dl * dl + da * da + db * db;
}

// Colours already matched, for pictures of many pixels and few colours:
// open addressing over the 24-bit colour, grown at half load.
class MatchMemo {
 public:
  MatchMemo() : keys_(kStartSize, kEmpty), indices_(kStartSize) {}

  // The slot of the colour; `found` says whether it holds a match already.
  std::uint8_t* Find(std::uint32_t key, bool& found) {
    std::size_t slot = Slot(key);
    found = keys_[slot] == key;
    if (!found) {
      if (2 * (used_ + 1) > keys_.size()) {
        Grow();
        slot = Slot(key);
      }
      keys_[slot] = key;
      ++used_;
    }
    return &indices_[slot];
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr std::size_t kStartSize = 1024;

  std::size_t Slot(std::uint32_t key) const {
    const std::size_t mask = keys_.size() - 1;
    std::size_t slot = (key * 0x9E3779B1u) & mask;
    while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & mask;
    return slot;
  }

  void Grow() {
    std::vector<std::uint32_t> keys(2 * keys_.size(), kEmpty);
    std::vector<std::uint8_t> indices(keys.size());
    keys.swap(keys_);
    indices.swap(indices_);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (keys[k] == kEmpty) continue;
      const std::size_t slot = Slot(keys[k]);
      keys_[slot] = keys[k];
      indices_[slot] = indices[k];
    }
  }

  std::vector<std::uint32_t> keys_;
  std::vector<std::uint8_t> indices_;
  std::size_t used_ = 0;
};

// Gathers the colours missing from the table and the farthest of them.
class MissingColours {
 public:
  MissingColours(const ColourTable& table, MappingReport& report)
      : table_(table), report_(report) {}

  void Add(Rgb wanted, std::uint8_t index) {
    const Rgb shown = table_.entries[index];
    if (shown == wanted) return;
    ++report_.missingColours;
    const float distance = SquaredDistance(ToOklab(wanted), ToOklab(shown));
    if (distance <= farthest_) return;
    farthest_ = distance;
    report_.farthestColour = wanted;
    report_.farthestShownAs = shown;
  }

 private:
  const ColourTable& table_;
  MappingReport& report_;
  float farthest_ = -1;
};

// Transparent pixels that get the transparent index, not a colour.
struct SkippedPixels {
  const Picture& picture;
  bool skipTransparent;

  bool operator()(std::size_t pixel) const {
    return skipTransparent && IsTransparent(picture, pixel);
  }
};

// Palette pictures: each used entry to the table entry of the same colour
// at six bits a component, else to the nearest.
void MapPalette(const Picture& picture, const ColourTable& table, const ColourMatcher& matcher,
                SkippedPixels skipped, std::vector<std::uint8_t>& indices,
                MissingColours& missing) {
  // The first pixel of each entry used, or none.
  constexpr std::size_t kUnused = SIZE_MAX;
  std::array<std::size_t, 256> first;
  first.fill(kUnused);
  for (std::size_t k = 0; k < indices.size(); ++k) {
    if (!skipped(k) && first[picture.pixels[k]] == kUnused) first[picture.pixels[k]] = k;
  }
  const std::array<std::uint8_t, 768> tablePalette = SixBitPalette(table);
  std::array<std::uint8_t, 256> entryIndex{};
  for (std::size_t entry = 0; entry < first.size(); ++entry) {
    if (first[entry] == kUnused) continue;
    const std::uint8_t* colour = &picture.palette[3 * entry];
    std::size_t match = 0;
    while (match < table.entries.size() &&
           !std::equal(colour, colour + 3, &tablePalette[3 * match])) {
      ++match;
    }
    if (match < table.entries.size()) {
      entryIndex[entry] = static_cast<std::uint8_t>(match);
      continue;
    }
    const Rgb wanted = PixelColour(picture, first[entry]);
    entryIndex[entry] = matcher.Nearest(wanted);
    missing.Add(wanted, entryIndex[entry]);
  }
  for (std::size_t k = 0; k < indices.size(); ++k) {
    if (!skipped(k)) indices[k] = entryIndex[picture.pixels[k]];
  }
}

void MapColours(const Picture& picture, const ColourMatcher& matcher, SkippedPixels skipped,
                std::vector<std::uint8_t>& indices, MissingColours& missing) {
  MatchMemo memo;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    if (skipped(k)) continue;
    const Rgb colour = PixelColour(picture, k);
    bool found = false;
    std::uint8_t* match = memo.Find(PackedRgb(colour), found);
    if (!found) {
      *match = matcher.Nearest(colour);
      missing.Add(colour, *match);
    }
    indices[k] = *match;
  }
}

std::uint8_t ClampComponent(float value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Floyd-Steinberg, left to right on every row: each pixel's error against
// its entry goes 7/16 right,
// 3/16 down left, 5/16 down and 1/16 down right; transparent pixels take
// and pass on none.
void DiffuseColours(const Picture& picture, const ColourTable& table,
                    const ColourMatcher& matcher, SkippedPixels skipped,
                    std::vector<std::uint8_t>& indices) {
  const auto width = static_cast<std::size_t>(picture.width);
  std::vector<std::array<float, 3>> thisRow(width + 2), nextRow(width + 2);
  for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
    std::fill(nextRow.begin(), nextRow.end(), std::array<float, 3>{});
    for (std::size_t x = 0; x < width; ++x) {
      const std::size_t pixel = y * width + x;
      if (skipped(pixel)) continue;
      const Rgb original = PixelColour(picture, pixel);
      const std::array<float, 3>& carried = thisRow[x + 1];
      const Rgb wanted{ClampComponent(original.red + carried[0]),
                       ClampComponent(original.green + carried[1]),
                       ClampComponent(original.blue + carried[2])};
      indices[pixel] = matcher.Nearest(wanted);
      const Rgb shown = table.entries[indices[pixel]];
      // The error of the clamped colour, so that errors never pile up
      // beyond what a component can show.
      const std::array<float, 3> error = {static_cast<float>(wanted.red - shown.red),
                                          static_cast<float>(wanted.green - shown.green),
                                          static_cast<float>(wanted.blue - shown.blue)};
      for (std::size_t c = 0; c < 3; ++c) {
        thisRow[x + 2][c] += error[c] * (7.0f / 16);
        nextRow[x][c] += error[c] * (3.0f / 16);
        nextRow[x + 1][c] += error[c] * (5.0f / 16);
        nextRow[x + 2][c] += error[c] * (1.0f / 16);
      }
    }
    thisRow.swap(nextRow);
  }
}

std::string Triple(Rgb c) {
  char text[32];
  std::snprintf(text, sizeof text, "(%u, %u, %u)", c.red, c.green, c.blue);
  return text;
}

}  // namespace

Rgb PixelColour(const Picture& picture, std::size_t pixel) {
  if (picture.pixelFormat == kPixelFormatIndexed || picture.pixelFormat == kPixelFormat16Colour) {
    const std::uint8_t* entry = &picture.palette[3 * picture.pixels[pixel]];
    return {Widen6To8(entry[0]), Widen6To8(entry[1]), Widen6To8(entry[2])};
  }
  const std::uint8_t* p = &picture.pixels[pixel * static_cast<std::size_t>(picture.pixelFormat)];
  if (picture.pixelFormat == kPixelFormatRgb) return {p[0], p[1], p[2]};
  const unsigned value = p[0] | (p[1] << 8);
  return {Widen5To8((value >> 10) & 31), Widen5To8((value >> 5) & 31), Widen5To8(value & 31)};
}

bool IsTransparent(const Picture& picture, std::size_t pixel) {
  return !picture.alpha.empty() && picture.alpha[pixel] < kOpaqueFrom;
}

ColourMatcher::ColourMatcher(const ColourTable& table) {
  for (std::size_t k = 0; k < table.entries.size() && k < kMaxTableColours; ++k) {
    const Lab lab = ToOklab(table.entries[k]);
    byLightness_.push_back({lab.l, lab.a, lab.b, static_cast<std::uint8_t>(k)});
  }
  std::stable_sort(byLightness_.begin(), byLightness_.end(),
                   [](const Entry& x, const Entry& y) { return x.l < y.l; });
}

// Searches outwards from the query's lightness and stops on each side once
// the lightness difference alone exceeds the best distance found.
std::uint8_t ColourMatcher::Nearest(Rgb colour) const {
  const Lab query = ToOklab(colour);
  const auto start = std::lower_bound(byLightness_.begin(), byLightness_.end(), query.l,
                                      [](const Entry& entry, float l) { return entry.l < l; });
  float best = INFINITY;
  std::uint8_t bestIndex = 0;
  const auto consider = [&](const Entry& entry) {
    const float dl = entry.l - query.l;
    if (dl * dl > best) return false;
    const float distance = SquaredDistance({entry.l, entry.a, entry.b}, query);
    if (distance < best || (distance == best && entry.index < bestIndex)) {
      best = distance;
      bestIndex = entry.index;
    }
    return true;
  };
  for (auto up = start; up != byLightness_.end() && consider(*up); ++up) {
  }
  for (auto down = start; down != byLightness_.begin() && consider(*(down - 1)); --down) {
  }
  return bestIndex;
}

Status MapPicture(const Picture& picture, const ColourTable& table,
                  const MappingOptions& options, std::vector<std::uint8_t>& indices,
                  MappingReport& report) {
  report = MappingReport();
  if (table.entries.empty() || table.entries.size() > kMaxTableColours) {
    return Status::Error(ErrorKind::kUsage, "a colour table holds 1 to 256 colours");
  }
  if (options.transparentIndex && *options.transparentIndex >= table.entries.size()) {
    return Status::Error(ErrorKind::kUsage,
                         "transparent index " + std::to_string(*options.transparentIndex) +
                             " is beyond the colour table's " +
                             std::to_string(table.entries.size()) + " entries");
  }
  const std::size_t count =
      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
  const bool palette = picture.pixelFormat == kPixelFormatIndexed ||
                       picture.pixelFormat == kPixelFormat16Colour;
  const std::size_t bytesPerPixel =
      palette ? 1 : static_cast<std::size_t>(picture.pixelFormat);
  if (picture.pixels.size() < count * bytesPerPixel ||
      (!picture.alpha.empty() && picture.alpha.size() < count)) {
    return Status::Error(ErrorKind::kDamaged, "the picture's pixel data are incomplete");
  }
  const ColourMatcher matcher(table);
  MissingColours missing(table, report);
  const SkippedPixels skipped{picture, options.transparentIndex.has_value()};
  indices.assign(count, options.transparentIndex.value_or(0));
  if (palette) {
    MapPalette(picture, table, matcher, skipped, indices, missing);
  } else {
    MapColours(picture, matcher, skipped, indices, missing);
    if (options.dithering == Dithering::kDiffusion) {
      DiffuseColours(picture, table, matcher, skipped, indices);
    }
  }
  if (!picture.alpha.empty()) {
    report.transparentPixels = static_cast<std::size_t>(
        std::count_if(picture.alpha.begin(), picture.alpha.begin() + static_cast<std::ptrdiff_t>(count),
                      [](std::uint8_t alpha) { return alpha < kOpaqueFrom; }));
  }
  return Status();
}

std::vector<std::string> MappingNotices(const MappingReport& report,
                                        const MappingOptions& options) {
  std::vector<std::string> notices;
  if (report.missingColours != 0) {
    notices.push_back(std::to_string(report.missingColours) +
                      (report.missingColours == 1 ? " colour is" : " colours are") +
                      " not in the colour table; the farthest, " +
                      Triple(report.farthestColour) + ", is shown as " +
                      Triple(report.farthestShownAs));
  }
  if (report.transparentPixels != 0 && !options.transparentIndex) {
    notices.push_back(std::to_string(report.transparentPixels) +
                      " pixels with alpha below 128 take the colour under them "
                      "(--transparent-index N gives them an index)");
  }
  return notices;
}

}  // namespace krelt
