// Mapping a 1920x1080 true-colour picture onto a 256-colour table, with and
// without error diffusion, and reducing it to 256 colours (counting its
// colours, building the table, mapping), each on one thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>

#include "palette/colour_mapping.h"
#include "palette/colour_reduction.h"

namespace krelt {
namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

// Smooth colour fields with a little xorshift noise: photo-like, about a
// million distinct colours.
Picture PhotoLike() {
  Picture picture;
  picture.width = kWidth;
  picture.height = kHeight;
  picture.pixelFormat = kPixelFormatRgb;
  picture.pixels.reserve(3u * kWidth * kHeight);
  std::uint32_t noise = 2463534242u;
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      const int jitter = static_cast<int>(noise % 9) - 4;
      const int base[3] = {x * 255 / kWidth, y * 255 / kHeight, (x + y) * 255 / (kWidth + kHeight)};
      for (const int value : base) {
        picture.pixels.push_back(static_cast<std::uint8_t>(std::clamp(value + jitter, 0, 255)));
      }
    }
  }
  return picture;
}

// A 6 x 7 x 6 colour cube and four greys.
ColourTable CubeTable() {
  ColourTable table;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 7; ++g) {
      for (int b = 0; b < 6; ++b) {
        table.entries.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 42),
                                 static_cast<std::uint8_t>(b * 51)});
      }
    }
  }
  for (const std::uint8_t grey : {32, 96, 160, 224}) table.entries.push_back({grey, grey, grey});
  return table;
}

void Map(benchmark::State& state, Dithering dithering) {
  const Picture picture = PhotoLike();
  const ColourTable table = CubeTable();
  std::vector<std::uint8_t> indices;
  MappingReport report;
  for (auto _ : state) {
    if (!MapPicture(picture, table, {dithering, std::nullopt}, indices, report).ok()) {
      state.SkipWithError("mapping failed");
    }
    benchmark::DoNotOptimize(indices.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_Map1920x1080(benchmark::State& state) { Map(state, Dithering::kNone); }
void BM_Map1920x1080Diffusion(benchmark::State& state) { Map(state, Dithering::kDiffusion); }

void BM_Reduce1920x1080To256(benchmark::State& state) {
  if (!CanReduceColours()) {
    state.SkipWithError("this build has no libimagequant");
    return;
  }
  const Picture picture = PhotoLike();
  std::vector<std::uint8_t> indices;
  MappingReport report;
  for (auto _ : state) {
    ColourHistogram histogram;
    histogram.AddPicture(picture, true);
    ColourTable table;
    if (!ReduceColours(histogram, 256, {}, table).ok() ||
        !MapPicture(picture, table, {}, indices, report).ok()) {
      state.SkipWithError("reduction failed");
    }
    benchmark::DoNotOptimize(indices.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_Map1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Map1920x1080Diffusion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce1920x1080To256)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace krelt
BENCHMARK_MAIN();
