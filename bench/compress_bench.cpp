// Compression and decompression throughput of COMPRESS_Tfp streams on
// deterministic inputs, on one thread and on a pool of two.
// `krelt_bench --write-input NAME FILE` instead writes the input of that
// name to FILE (used by bench-vs-peers.sh);
// `krelt_bench --write-bmp FILE WIDTH HEIGHT SEED [noise]` writes an
// image-like 24-bit BMP picture, or one of random pixels, which hardly
// compresses (used by bench-pipelines.sh).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/worker_pool.h"
#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Small deterministic generator (xorshift32), the same on every platform.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  std::uint32_t state_;
};

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

// A screen-like picture: a vertical background gradient, flat panels, a
// horizontal colour ramp and a noisy photo-like area.
Rgb ImagePixel(int x, int y, int width, int height, Noise& noise) {
  const bool inPanel = (x > width / 10 && x < width / 3 && y > height / 8 && y < height / 2) ||
                       (x > width / 2 && x < width * 9 / 10 && y > height * 5 / 8 &&
                        y < height * 7 / 8);
  if (inPanel) return x < width / 2 ? Rgb{40, 40, 48} : Rgb{200, 180, 20};
  if (y > height / 8 && y < height / 4 && x >= width / 2) {
    return {x * 255 / width, 255 - x * 255 / width, 128};
  }
  const bool inPhoto = x >= width / 2 && y >= height / 4 && y < height / 2;
  if (inPhoto) {
    const int grain = static_cast<int>(noise.Next() % 9) - 4;
    return {(x + y) % 256 / 2 + 60 + grain, (x * 3 + y) % 256 / 2 + 40 + grain,
            (y * 2) % 256 / 3 + 50 + grain};
  }
  return {10, 20 + y * 60 / height, 60 + y * 150 / height};
}

// The picture with grain of +-grain on every channel of every pixel.
Rgb NoisyPixel(int x, int y, int width, int height, Noise& noise, int grain) {
  Rgb c = ImagePixel(x, y, width, height, noise);
  if (grain == 0) return c;
  const auto add = [&](int value) {
    return std::clamp(value + static_cast<int>(noise.Next() % unsigned(2 * grain + 1)) - grain, 0, 255);
  };
  return {add(c.red), add(c.green), add(c.blue)};
}

// 24-bit pixels are red, green, blue bytes; 16-bit pixels are 5-5-5 with
// bit 15 set, high byte first, as the conversion driver stores them; 8-bit
// pixels are indices of a 3-3-2 palette.
void AppendPixel(Bytes& pixels, Rgb c, int bytesPerPixel) {
  if (bytesPerPixel == 1) {
    pixels.push_back(static_cast<std::uint8_t>((c.red >> 5) << 5 | (c.green >> 5) << 2 | c.blue >> 6));
  } else if (bytesPerPixel == 3) {
    pixels.push_back(static_cast<std::uint8_t>(c.red));
    pixels.push_back(static_cast<std::uint8_t>(c.green));
    pixels.push_back(static_cast<std::uint8_t>(c.blue));
  } else {
    const unsigned value = 0x8000u | unsigned(c.red >> 3) << 10 |
                           unsigned(c.green >> 3) << 5 | unsigned(c.blue >> 3);
    pixels.push_back(static_cast<std::uint8_t>(value >> 8));
    pixels.push_back(static_cast<std::uint8_t>(value));
  }
}

Bytes MakeImage(int width, int height, int bytesPerPixel, std::uint32_t seed = 12345,
                int grain = 0) {
  Noise noise(seed);
  Bytes pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                 static_cast<std::size_t>(bytesPerPixel));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      AppendPixel(pixels, NoisyPixel(x, y, width, height, noise, grain), bytesPerPixel);
    }
  }
  return pixels;
}

// How an OsdMenu's glyphs are placed: scattered over the bars' area, or
// set in lines along the bars, bottom-aligned and at most 20 pixels high.
enum class GlyphLayout { kScattered, kLines };

// An on-screen menu as drawn at 640x480 and scaled to the size asked for: a
// dark blue background, twelve bars of slightly different colours, about
// 400 small white rectangles of 3-12 x 8-30 pixels that stand for glyphs,
// and a panel shaded row by row from one colour to another.
class OsdMenu {
 public:
  OsdMenu(int width, int height, GlyphLayout layout = GlyphLayout::kScattered)
      : width_(width), height_(height), covered_(Area(), kBackground) {
    for (int bar = 0; bar < kBars; ++bar) {
      const Rgb colour{40 + bar * 3, 60 + bar * 2, 150 - bar * 4};
      Fill(24, BarTop(bar), 400, BarTop(bar) + 26, colour);
    }
    if (layout == GlyphLayout::kScattered) {
      ScatterGlyphs();
    } else {
      SetGlyphsInLines();
    }
    for (int y = Y(40); y < Y(440); ++y) {
      const int t = (y - Y(40)) * 255 / std::max(1, Y(440) - Y(40));
      const Rgb shade{30 + t * 150 / 255, 80 + t * 60 / 255, 160 - t * 100 / 255};
      for (int x = X(440); x < X(616); ++x) covered_[Index(x, y)] = shade;
    }
  }

  // 8-bit pixels are palette indices, numbered in the order the colours
  // first appear.
  Bytes Pixels(int bytesPerPixel) const {
    Bytes pixels;
    pixels.reserve(Area() * static_cast<std::size_t>(bytesPerPixel));
    std::vector<Rgb> palette;
    for (const Rgb& c : covered_) {
      if (bytesPerPixel != 1) {
        AppendPixel(pixels, c, bytesPerPixel);
        continue;
      }
      auto entry = std::find(palette.begin(), palette.end(), c);
      if (entry == palette.end()) entry = palette.insert(palette.end(), c);
      pixels.push_back(static_cast<std::uint8_t>(entry - palette.begin()));
    }
    return pixels;
  }

 private:
  static constexpr int kBars = 12;
  static constexpr Rgb kBackground{12, 20, 70};
  static constexpr Rgb kGlyph{240, 240, 240};

  static int BarTop(int bar) { return 48 + bar * 34; }

  void ScatterGlyphs() {
    Noise noise(2024);
    for (int glyph = 0; glyph < 400; ++glyph) {
      const int glyphWidth = 3 + static_cast<int>(noise.Next() % 10);
      const int glyphHeight = 8 + static_cast<int>(noise.Next() % 23);
      const int left = 24 + static_cast<int>(noise.Next() % unsigned(376 - glyphWidth));
      const int top = 48 + static_cast<int>(noise.Next() % unsigned(408 - glyphHeight));
      Fill(left, top, left + glyphWidth, top + glyphHeight, kGlyph);
    }
  }

  void SetGlyphsInLines() {
    Noise noise(2024);
    for (int bar = 0; bar < kBars; ++bar) {
      int x = 32 + static_cast<int>(noise.Next() % 8);
      while (true) {
        const int glyphWidth = 3 + static_cast<int>(noise.Next() % 10);
        const int glyphHeight = std::min(8 + static_cast<int>(noise.Next() % 16), 20);
        if (x + glyphWidth > 392) break;
        const int glyphTop = BarTop(bar) + 22 - glyphHeight;
        Fill(x, glyphTop, x + glyphWidth, glyphTop + glyphHeight, kGlyph);
        x += glyphWidth + 2 + static_cast<int>(noise.Next() % 4) * (noise.Next() % 6 == 0 ? 3 : 1);
      }
    }
  }

  std::size_t Area() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  }
  // Coordinates of the 640x480 layout on this picture.
  int X(int x) const { return x * width_ / 640; }
  int Y(int y) const { return y * height_ / 480; }
  void Fill(int left, int top, int right, int bottom, Rgb colour) {
    for (int y = Y(top); y < Y(bottom); ++y) {
      for (int x = X(left); x < X(right); ++x) covered_[Index(x, y)] = colour;
    }
  }

  int width_;
  int height_;
  std::vector<Rgb> covered_;
};

// A photo-like picture: smooth colour fields with grain of +-5 on every
// channel of every pixel.
Bytes MakeNoisyPhoto(int width, int height) {
  Noise noise(99);
  Bytes pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto grain = [&](int value) {
        return std::clamp(value + static_cast<int>(noise.Next() % 11) - 5, 0, 255);
      };
      const int sky = 120 + (x / 16 + y / 12) % 64;
      const int ground = y > height * 2 / 3 ? 60 + (x * x / 4096 + y) % 48 : sky;
      AppendPixel(pixels, Rgb{grain(ground / 2 + 30), grain(ground - 20), grain(sky + 40 - y * 40 / height)}, 3);
    }
  }
  return pixels;
}

// An on-screen-display page in 24-bit RGB: a flat background, a title and
// a status bar, a shaded panel, level bars, and lines of text drawn as small
// white glyph rectangles (strokes picked by the generator per glyph cell).
Bytes MakeOsd(int width, int height) {
  constexpr int kGlyphWidth = 12;
  constexpr int kGlyphHeight = 20;
  Noise noise(4242);
  std::vector<std::uint8_t> glyphStrokes(static_cast<std::size_t>(width / kGlyphWidth + 1) *
                                         static_cast<std::size_t>(height / kGlyphHeight + 1));
  for (auto& strokes : glyphStrokes) strokes = static_cast<std::uint8_t>(noise.Next() >> 24);
  const auto pixel = [&](int x, int y) -> Rgb {
    const bool titleBar = y < height / 12;
    const bool statusBar = y >= height * 11 / 12;
    const bool panel = x >= width / 8 && x < width * 7 / 8 && y >= height / 6 && y < height * 5 / 6;
    const int line = (y - height / 6) / (kGlyphHeight * 2);
    const bool textArea = panel && x < width / 2 && (y - height / 6) % (kGlyphHeight * 2) < kGlyphHeight;
    if (textArea) {
      // Glyph strokes: one bit each for a top, middle and bottom bar and a
      // left, centre and right post of the cell.
      const int gx = x % kGlyphWidth;
      const int gy = (y - height / 6) % kGlyphHeight;
      const unsigned strokes =
          glyphStrokes[static_cast<std::size_t>(line) * static_cast<std::size_t>(width / kGlyphWidth) +
                       static_cast<std::size_t>(x / kGlyphWidth)];
      const bool ink = gx >= 2 && gx < 10 && gy >= 3 && gy < 17 &&
                       (((strokes & 1) && gy < 5) || ((strokes & 2) && gy >= 9 && gy < 11) ||
                        ((strokes & 4) && gy >= 15) || ((strokes & 8) && gx < 4) ||
                        ((strokes & 16) && gx >= 5 && gx < 7) || ((strokes & 32) && gx >= 8));
      if (ink) return {255, 255, 255};
    }
    if (panel && x >= width * 5 / 9 && x < width * 5 / 6 && line % 2 == 0 &&
        (y - height / 6) % (kGlyphHeight * 2) < kGlyphHeight) {
      const int level = width * 5 / 9 + (line * 97 % 13 + 1) * (width * 5 / 18) / 14;
      return x < level ? Rgb{40, 200, 80} : Rgb{60, 60, 70};
    }
    if (panel) return {30, 30 + (y - height / 6) * 60 / (height * 2 / 3), 90};
    if (titleBar || statusBar) return {32, 64, 160};
    return {16, 24, 64};
  };
  Bytes pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = pixel(x, y);
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
                                   static_cast<std::uint8_t>(c.blue)});
    }
  }
  return pixels;
}

Bytes MakeRandom(std::size_t count) {
  Noise noise(777);
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(noise.Next() >> 24);
  return bytes;
}

struct Input {
  std::string name;
  std::function<Bytes()> make;
};

const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = {
      {"random_1MiB", [] { return MakeRandom(1 << 20); }},
      {"flat_1920x1080x24", [] { return Bytes(1920 * 1080 * 3, 0x5A); }},
      {"image_640x480x8", [] { return MakeImage(640, 480, 1); }},
      {"image_640x480x16", [] { return MakeImage(640, 480, 2); }},
      {"image_640x480x24", [] { return MakeImage(640, 480, 3); }},
      {"image_1920x1080x16", [] { return MakeImage(1920, 1080, 2); }},
      {"image_1920x1080x24", [] { return MakeImage(1920, 1080, 3); }},
      {"noisy_1920x1080x24", [] { return MakeImage(1920, 1080, 3, 12345, 6); }},
      {"osd_3840x2160x24", [] { return MakeOsd(3840, 2160); }},
      {"osd_640x480x8", [] { return OsdMenu(640, 480).Pixels(1); }},
      {"osd_640x480x16", [] { return OsdMenu(640, 480).Pixels(2); }},
      {"osd_640x480x24", [] { return OsdMenu(640, 480).Pixels(3); }},
      {"osd_1920x1080x8", [] { return OsdMenu(1920, 1080).Pixels(1); }},
      {"osd_1920x1080x16", [] { return OsdMenu(1920, 1080).Pixels(2); }},
      {"osd_1920x1080x24", [] { return OsdMenu(1920, 1080).Pixels(3); }},
      {"osd_lines_640x480x8", [] { return OsdMenu(640, 480, GlyphLayout::kLines).Pixels(1); }},
      {"osd_lines_640x480x16", [] { return OsdMenu(640, 480, GlyphLayout::kLines).Pixels(2); }},
      {"osd_lines_640x480x24", [] { return OsdMenu(640, 480, GlyphLayout::kLines).Pixels(3); }},
      {"osd_lines_1920x1080x24", [] { return OsdMenu(1920, 1080, GlyphLayout::kLines).Pixels(3); }},
      {"photo_1920x1080x24", [] { return MakeNoisyPhoto(1920, 1080); }},
  };
  return inputs;
}

Bytes CompressOrDie(const Bytes& input) {
  TfpEncoder encoder;
  Bytes stream;
  if (!encoder.Compress(input, stream).ok()) std::abort();
  return stream;
}

void BenchCompress(benchmark::State& state, const Input& source, unsigned threads,
                   CompressionLevel level) {
  const Bytes input = source.make();
  WorkerPool pool(threads);
  TfpEncoder encoder(threads > 1 ? &pool : nullptr, level);
  Bytes stream;
  for (auto _ : state) {
    if (const Status status = encoder.Compress(input, stream); !status.ok()) {
      state.SkipWithError(status.message().c_str());
      return;
    }
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
  state.counters["ratio"] = static_cast<double>(stream.size()) / static_cast<double>(input.size());
  state.counters["bytes"] = static_cast<double>(stream.size());
}

void BenchDecompress(benchmark::State& state, const Input& source, unsigned threads) {
  const Bytes input = source.make();
  const Bytes stream = CompressOrDie(input);
  WorkerPool pool(threads);
  Bytes output;
  for (auto _ : state) {
    const Status status = TfpDecoder::Decode(stream, output, threads > 1 ? &pool : nullptr);
    if (!status.ok() || output.size() != input.size()) {
      state.SkipWithError(status.ok() ? "wrong decoded size" : status.message().c_str());
      return;
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

void RegisterBenchmarks() {
  for (const CompressionLevel level : {CompressionLevel::kDefault, CompressionLevel::kMax}) {
    for (const unsigned threads : {1u, 2u}) {
      for (const Input& input : Inputs()) {
        const std::string name = std::string(level == CompressionLevel::kMax ? "CompressMax" : "Compress") +
                                 (threads > 1 ? "Pool2/" : "/") + input.name;
        auto* bench =
            benchmark::RegisterBenchmark(name.c_str(), BenchCompress, input, threads, level)
                ->Unit(benchmark::kMillisecond);
        // With a pool the work is shared with a second thread, whose CPU
        // time the calling thread's does not show: count wall time.
        if (threads > 1) bench->UseRealTime();
      }
    }
  }
  for (const unsigned threads : {1u, 2u}) {
    for (const Input& input : Inputs()) {
      const std::string name = (threads > 1 ? "DecompressPool2/" : "Decompress/") + input.name;
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), BenchDecompress, input, threads)
                        ->Unit(benchmark::kMillisecond);
      if (threads > 1) bench->UseRealTime();
    }
  }
}

int WriteBytes(const Bytes& image, const char* path) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!file.flush()) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int WriteInput(std::string_view name, const char* path) {
  for (const Input& input : Inputs()) {
    if (input.name == name) return WriteBytes(input.make(), path);
  }
  std::fprintf(stderr, "no input named %s\n", std::string(name).c_str());
  return 1;
}

void PutLe(Bytes& bytes, std::size_t offset, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A bottom-up 24-bit BMP of the image-like picture, or of noise.
int WriteBmp(const char* path, int width, int height, std::uint32_t seed, bool noise) {
  if (width < 1 || height < 1 || width > 20000 || height > 20000) {
    std::fprintf(stderr, "bad size %d x %d\n", width, height);
    return 1;
  }
  const Bytes rgb = noise ? MakeRandom(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
                          : MakeImage(width, height, 3, seed);
  const auto rowSize = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t pixelBytes = rowSize * static_cast<std::size_t>(height);
  Bytes file(54 + pixelBytes, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe(file, 2, static_cast<std::uint32_t>(file.size()), 4);
  PutLe(file, 10, 54, 4);
  PutLe(file, 14, 40, 4);
  PutLe(file, 18, static_cast<std::uint32_t>(width), 4);
  PutLe(file, 22, static_cast<std::uint32_t>(height), 4);
  PutLe(file, 26, 1, 2);
  PutLe(file, 28, 24, 2);
  PutLe(file, 34, static_cast<std::uint32_t>(pixelBytes), 4);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &file[54 + rowSize * static_cast<std::size_t>(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
      row[x * 3] = pixel[2];
      row[x * 3 + 1] = pixel[1];
      row[x * 3 + 2] = pixel[0];
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace krelt

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--write-input") {
    return krelt::WriteInput(argv[2], argv[3]);
  }
  if ((argc == 6 || argc == 7) && std::string_view(argv[1]) == "--write-bmp") {
    return krelt::WriteBmp(argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                           static_cast<std::uint32_t>(std::strtoul(argv[5], nullptr, 10)),
                           argc == 7 && std::string_view(argv[6]) == "noise");
  }
  krelt::RegisterBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
