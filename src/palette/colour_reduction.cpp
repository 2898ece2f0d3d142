#include "palette/colour_reduction.h"

#include <algorithm>
#include <memory>

#include "palette/colour_mapping.h"

#if KRELT_HAVE_IMAGEQUANT
#include <libimagequant.h>
#endif
#if KRELT_IMAGEQUANT_USES_OPENMP
#include <omp.h>
#endif

namespace krelt {
namespace {

// Counts of equal values of a sorted list.
std::vector<std::pair<std::uint32_t, std::uint64_t>> RunsOf(
    const std::vector<std::uint32_t>& sorted) {
  std::vector<std::pair<std::uint32_t, std::uint64_t>> runs;
  for (const std::uint32_t key : sorted) {
    if (runs.empty() || runs.back().first != key) runs.emplace_back(key, 0);
    ++runs.back().second;
  }
  return runs;
}

#if KRELT_HAVE_IMAGEQUANT

Rgb ColourOfKey(std::uint32_t key) {
  return {static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 8),
          static_cast<std::uint8_t>(key)};
}

struct LiqDeleter {
  void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
  void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
  void operator()(liq_result* result) const { liq_result_destroy(result); }
};

Status QuantizerFailure(liq_error error) {
  return Status::Error(error == LIQ_OUT_OF_MEMORY ? ErrorKind::kOutOfMemory : ErrorKind::kUsage,
                       "the colours could not be reduced (libimagequant error " +
                           std::to_string(static_cast<int>(error)) + ")");
}

// libimagequant's own table: the fixed colours among at most `colours`.
Status Quantize(const ColourHistogram& histogram, std::int32_t colours,
                const ColourTable& fixed, std::vector<Rgb>& palette) {
  const std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
  if (!attr) return QuantizerFailure(LIQ_OUT_OF_MEMORY);
  if (liq_error error = liq_set_max_colors(attr.get(), colours); error != LIQ_OK) {
    return QuantizerFailure(error);
  }
  const std::unique_ptr<liq_histogram, LiqDeleter> counted(liq_histogram_create(attr.get()));
  if (!counted) return QuantizerFailure(LIQ_OUT_OF_MEMORY);
  std::vector<liq_histogram_entry> entries;
  entries.reserve(histogram.counts().size());
  for (const auto& [key, count] : histogram.counts()) {
    const Rgb c = ColourOfKey(key);
    entries.push_back({{c.red, c.green, c.blue, 255},
                       static_cast<unsigned>(std::min<std::uint64_t>(count, UINT32_MAX))});
  }
  if (!entries.empty()) {
    if (liq_error error = liq_histogram_add_colors(counted.get(), attr.get(), entries.data(),
                                                   static_cast<int>(entries.size()), 0);
        error != LIQ_OK) {
      return QuantizerFailure(error);
    }
  }
  for (const Rgb& c : fixed.entries) {
    if (liq_error error =
            liq_histogram_add_fixed_color(counted.get(), {c.red, c.green, c.blue, 255}, 0);
        error != LIQ_OK) {
      return QuantizerFailure(error);
    }
  }
#if KRELT_IMAGEQUANT_USES_OPENMP
  // One thread: libimagequant's parallel sums would make the table depend
  // on the machine's core count.
  omp_set_num_threads(1);
#endif
  liq_result* quantized = nullptr;
  if (liq_error error = liq_histogram_quantize(counted.get(), attr.get(), &quantized);
      error != LIQ_OK) {
    return QuantizerFailure(error);
  }
  const std::unique_ptr<liq_result, LiqDeleter> result(quantized);
  const liq_palette* found = liq_get_palette(result.get());
  palette.clear();
  for (unsigned k = 0; k < found->count; ++k) {
    const liq_color& c = found->entries[k];
    palette.push_back({c.r, c.g, c.b});
  }
  return Status();
}

// The fixed colours at their places, then the quantizer's other colours in
// its order. Each fixed colour takes the place of the quantizer's entry
// nearest to it (the same colour, as libimagequant keeps fixed colours).
ColourTable PlaceFixedColours(std::vector<Rgb> palette, const ColourTable& fixed) {
  ColourTable table = fixed;
  if (!fixed.entries.empty() && !palette.empty()) {
    for (const Rgb& colour : fixed.entries) {
      ColourTable rest{palette};
      const std::uint8_t nearest = ColourMatcher(rest).Nearest(colour);
      palette.erase(palette.begin() + nearest);
      if (palette.empty()) break;
    }
  }
  table.entries.insert(table.entries.end(), palette.begin(), palette.end());
  return table;
}

#endif  // KRELT_HAVE_IMAGEQUANT

}  // namespace

bool CanReduceColours() { return KRELT_HAVE_IMAGEQUANT != 0; }

void ColourHistogram::AddPicture(const Picture& picture, bool withTransparent) {
  const std::size_t count =
      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
  std::vector<std::uint32_t> keys;
  keys.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    if (withTransparent || !IsTransparent(picture, k)) keys.push_back(PackedRgb(PixelColour(picture, k)));
  }
  std::sort(keys.begin(), keys.end());
  const auto added = RunsOf(keys);
  std::vector<std::pair<std::uint32_t, std::uint64_t>> merged;
  merged.reserve(counts_.size() + added.size());
  auto mine = counts_.begin();
  for (const auto& run : added) {
    for (; mine != counts_.end() && mine->first < run.first; ++mine) merged.push_back(*mine);
    if (mine != counts_.end() && mine->first == run.first) {
      merged.emplace_back(run.first, run.second + mine->second);
      ++mine;
    } else {
      merged.push_back(run);
    }
  }
  merged.insert(merged.end(), mine, counts_.end());
  counts_ = std::move(merged);
}

Status ReduceColours(const ColourHistogram& histogram, std::int32_t colours,
                     const ColourTable& fixed, ColourTable& table) {
  if (colours < kMinReducedColours || colours > static_cast<std::int32_t>(kMaxTableColours)) {
    return Status::Error(ErrorKind::kUsage, "the colour count must be 2 to 256, not " +
                                                std::to_string(colours));
  }
  if (fixed.entries.size() > static_cast<std::size_t>(colours)) {
    return Status::Error(ErrorKind::kUsage,
                         std::to_string(fixed.entries.size()) +
                             " fixed colours do not fit into a table of " +
                             std::to_string(colours));
  }
#if KRELT_HAVE_IMAGEQUANT
  std::vector<Rgb> palette;
  if (Status status = Quantize(histogram, colours, fixed, palette); !status.ok()) return status;
  table = PlaceFixedColours(std::move(palette), fixed);
  return Status();
#else
  static_cast<void>(histogram);
  static_cast<void>(table);
  return Status::Error(ErrorKind::kUnsupported,
                       "this build of Krelt can't reduce colours (no libimagequant)");
#endif
}

}  // namespace krelt
