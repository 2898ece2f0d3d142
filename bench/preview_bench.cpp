// What the dialog's preview does when a frame is chosen: check and decode a
// 1920x1080 record into a screen image (on the preview's thread in the
// dialog), then show and paint it, fitted into the view and at 1x. Runs on
// Qt's offscreen platform.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/preview_panel.h"
#include "compress/tfp_encoder.h"
#include "front/preview_model.h"

namespace krelt {
namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

// A 16-bit picture of gradients and a grid, high byte first, bit 15 on
// every pixel but a transparent band.
std::vector<std::uint8_t> Picture1555() {
  std::vector<std::uint8_t> pixels;
  pixels.reserve(2u * kWidth * kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const unsigned red = static_cast<unsigned>(x * 31 / kWidth);
      const unsigned green = static_cast<unsigned>(y * 31 / kHeight);
      const unsigned blue = (x % 64 == 0 || y % 64 == 0) ? 31u : 0u;
      const unsigned top = (y / 100 == 5) ? 0u : 0x8000u;
      const unsigned value = top | red << 10 | green << 5 | blue;
      pixels.push_back(static_cast<std::uint8_t>(value >> 8));
      pixels.push_back(static_cast<std::uint8_t>(value));
    }
  }
  return pixels;
}

GdSource Source1555() {
  const std::vector<std::uint8_t> pixels = Picture1555();
  GdSource source;
  GdArray array;
  array.name = "_benchCpm";
  TfpEncoder encoder;
  if (!encoder.Compress(pixels, array.bytes).ok()) std::abort();
  source.arrays.push_back(std::move(array));
  const GdRecord record =
      NewRecord("bench", DataFormat::kOsd1555, 2 * kWidth * kHeight, kWidth, kHeight);
  source.records.push_back(record);
  return source;
}

void ShowRecord(benchmark::State& state, QSize viewSize, int zoom) {
  const GdSource source = Source1555();
  PictureView view;
  view.SetZoom(zoom);
  view.resize(viewSize);
  for (auto _ : state) {
    const DecodedRecord decoded = DecodeRecord(source, source.records.front(), ExtractOptions{});
    if (!decoded.status.ok()) {
      state.SkipWithError("the record does not decode");
      return;
    }
    view.SetImage(ToQImage(decoded.image));
    benchmark::DoNotOptimize(view.grab());
  }
}

void BM_Preview1920x1080Fitted(benchmark::State& state) {
  ShowRecord(state, QSize(640, 400), 0);
}
BENCHMARK(BM_Preview1920x1080Fitted)->Unit(benchmark::kMillisecond);

// Paints the whole picture at 1x, more than a view ever shows at once.
void BM_Preview1920x1080OneToOne(benchmark::State& state) {
  ShowRecord(state, QSize(kWidth, kHeight), 1);
}
BENCHMARK(BM_Preview1920x1080OneToOne)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace krelt

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
