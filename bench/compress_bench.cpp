// Compression and decompression throughput of COMPRESS_Tfp streams on
// deterministic inputs. `krelt_bench --write-image FILE` instead writes the
// 1920x1080 24-bit image-like input to FILE (used by bench-vs-jlha.sh).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// 24-bit pixels are red, green, blue bytes; 16-bit pixels are 5-5-5 with
// bit 15 set, high byte first, as the conversion driver stores them.
Bytes MakeImage(int width, int height, int bytesPerPixel) {
  Noise noise(12345);
  Bytes pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                 static_cast<std::size_t>(bytesPerPixel));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = ImagePixel(x, y, width, height, noise);
      if (bytesPerPixel == 3) {
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
      {"image_640x480x16", [] { return MakeImage(640, 480, 2); }},
      {"image_640x480x24", [] { return MakeImage(640, 480, 3); }},
      {"image_1920x1080x16", [] { return MakeImage(1920, 1080, 2); }},
      {"image_1920x1080x24", [] { return MakeImage(1920, 1080, 3); }},
  };
  return inputs;
}

Bytes CompressOrDie(const Bytes& input) {
  TfpEncoder encoder;
  Bytes stream;
  if (!encoder.Compress(input, stream)) std::abort();
  return stream;
}

void BenchCompress(benchmark::State& state, const Input& source) {
  const Bytes input = source.make();
  TfpEncoder encoder;
  Bytes stream;
  for (auto _ : state) {
    if (!encoder.Compress(input, stream)) {
      state.SkipWithError("Compress failed");
      return;
    }
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
  state.counters["ratio"] = static_cast<double>(stream.size()) / static_cast<double>(input.size());
}

void BenchDecompress(benchmark::State& state, const Input& source) {
  const Bytes input = source.make();
  const Bytes stream = CompressOrDie(input);
  Bytes output;
  for (auto _ : state) {
    const Status status = TfpDecoder::Decode(stream, output);
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
  for (const Input& input : Inputs()) {
    benchmark::RegisterBenchmark(("Compress/" + input.name).c_str(), BenchCompress, input)
        ->Unit(benchmark::kMillisecond);
  }
  for (const Input& input : Inputs()) {
    benchmark::RegisterBenchmark(("Decompress/" + input.name).c_str(), BenchDecompress, input)
        ->Unit(benchmark::kMillisecond);
  }
}

int WriteImage(const char* path) {
  const Bytes image = MakeImage(1920, 1080, 3);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!file.flush()) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace krelt

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--write-image") {
    return krelt::WriteImage(argv[2]);
  }
  krelt::RegisterBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
