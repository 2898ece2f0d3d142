// krelt-make-corpus OUTDIR: writes small valid inputs of every variant for
// each fuzz target into OUTDIR/TARGET/, the fuzzers' starting corpora.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compress/tfp_encoder.h"
#include "gd/gd_text.h"
#include "conversion_input.h"
#include "support/picture_writers.h"

namespace {

namespace fs = std::filesystem;
using krelt::test::Rgb;
using Bytes = std::vector<std::uint8_t>;

// Writes the inputs of one target into its folder.
class CorpusWriter {
 public:
  explicit CorpusWriter(fs::path folder) : folder_(std::move(folder)) {
    fs::create_directories(folder_);
  }

  void Add(const std::string& name, std::span<const std::uint8_t> bytes) {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) failed_ = true;
  }
  void Add(const std::string& name, std::string_view text) {
    Add(name, std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                        text.size()));
  }
  bool failed() const { return failed_; }

 private:
  fs::path folder_;
  bool failed_ = false;
};

// A picture with a diagonal gradient and a flat square: runs for the
// run-length and LZSS coders, changes for the literals.
std::uint8_t Shade(int x, int y, int channel) {
  if (x >= 2 && x < 5 && y >= 1 && y < 4) return static_cast<std::uint8_t>(40 * channel);
  return static_cast<std::uint8_t>(x * 29 + y * 17 + channel * 71);
}

Bytes RgbPixels(int width, int height) {
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < 3; ++channel) pixels.push_back(Shade(x, y, channel));
    }
  }
  return pixels;
}

Bytes IndexPixels(int width, int height, int colours) {
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back(static_cast<std::uint8_t>(Shade(x, y, 0) % colours));
    }
  }
  return pixels;
}

// Little-endian 5-6-5 values.
Bytes Pixels565(int width, int height) {
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto value = static_cast<std::uint16_t>(
          (Shade(x, y, 0) >> 3) << 11 | (Shade(x, y, 1) >> 2) << 5 | Shade(x, y, 2) >> 3);
      pixels.push_back(static_cast<std::uint8_t>(value & 0xFF));
      pixels.push_back(static_cast<std::uint8_t>(value >> 8));
    }
  }
  return pixels;
}

std::vector<Rgb> ColourTable(int colours) {
  std::vector<Rgb> table;
  for (int i = 0; i < colours; ++i) {
    table.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 11),
                     static_cast<std::uint8_t>(255 - i * 5)});
  }
  return table;
}

// 768 bytes of 6-bit components.
Bytes Palette6Bit(int seed) {
  Bytes palette;
  for (int i = 0; i < 256 * 3; ++i) palette.push_back(static_cast<std::uint8_t>((i * seed) % 64));
  return palette;
}

krelt::test::BmpSpec Bmp(int width, int height, std::uint16_t bitsPerPixel) {
  krelt::test::BmpSpec layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bitsPerPixel;
  if (bitsPerPixel == 8) {
    layout.pixels = IndexPixels(width, height, 16);
    layout.colourTable = ColourTable(16);
  } else {
    layout.pixels = RgbPixels(width, height);
  }
  return layout;
}

std::vector<std::pair<std::string, Bytes>> BmpFiles() {
  using krelt::test::MakeBmp;
  const auto indexed = Bmp(7, 5, 8);
  auto indexedFullTable = indexed;
  indexedFullTable.colourTable = ColourTable(256);
  indexedFullTable.coloursUsed = 0;
  const auto rgb = Bmp(5, 3, 24);
  auto topDown = rgb;
  topDown.topDown = true;
  const auto rgbx = Bmp(6, 4, 32);
  auto bitFields = rgbx;
  bitFields.bitFields = true;
  auto bitFieldsV5 = bitFields;
  bitFieldsV5.infoHeaderSize = 124;
  return {{"indexed.bmp", MakeBmp(indexed)},
          {"indexed-256.bmp", MakeBmp(indexedFullTable)},
          {"rgb24.bmp", MakeBmp(rgb)},
          {"rgb24-top-down.bmp", MakeBmp(topDown)},
          {"rgb32.bmp", MakeBmp(rgbx)},
          {"rgb32-bitfields.bmp", MakeBmp(bitFields)},
          {"rgb32-bitfields-v5.bmp", MakeBmp(bitFieldsV5)}};
}

krelt::test::PcxSpec Pcx(std::uint8_t bitsPerPixel, std::uint8_t planes, int width,
                         int height) {
  krelt::test::PcxSpec layout;
  layout.bitsPerPixel = bitsPerPixel;
  layout.planes = planes;
  layout.width = width;
  layout.height = height;
  if (bitsPerPixel == 1) {
    layout.pixels = IndexPixels(width, height, 1 << planes);
  } else if (planes == 1) {
    layout.pixels = IndexPixels(width, height, 200);
    layout.palette = ColourTable(256);
  } else {
    layout.pixels = RgbPixels(width, height);
  }
  return layout;
}

std::vector<std::pair<std::string, Bytes>> PcxFiles() {
  using krelt::test::MakePcx;
  std::vector<std::pair<std::string, Bytes>> files;
  for (std::uint8_t planes = 1; planes <= 4; ++planes) {
    files.emplace_back("planar-" + std::to_string(planes) + ".pcx",
                       MakePcx(Pcx(1, planes, 11, 4)));
  }
  auto padded = Pcx(8, 1, 9, 5);
  padded.bytesPerLine = 12;
  files.emplace_back("indexed.pcx", MakePcx(Pcx(8, 1, 9, 5)));
  files.emplace_back("indexed-padded.pcx", MakePcx(padded));
  files.emplace_back("rgb.pcx", MakePcx(Pcx(8, 3, 6, 4)));
  return files;
}

krelt::test::XspFrameSpec XspFrame(int width, int height, int pixelKind) {
  krelt::test::XspFrameSpec frame;
  frame.width = width;
  frame.height = height;
  frame.x = width / 2;
  frame.y = -height;
  frame.pixels = pixelKind == 1 ? IndexPixels(width, height, 256)
                                : Pixels565(width, height);
  return frame;
}

krelt::test::XspSpec Xsp(int pixelKind,
                         std::vector<krelt::test::XspFrameSpec> frames) {
  krelt::test::XspSpec layout;
  layout.pixelKind = pixelKind;
  layout.defaultPalette = Palette6Bit(3);
  layout.frames = std::move(frames);
  return layout;
}

std::vector<std::pair<std::string, Bytes>> XspFiles() {
  using krelt::test::MakeXsp;
  auto ownPalette = XspFrame(5, 2, 1);
  ownPalette.ownPalette = Palette6Bit(7);
  ownPalette.records = Bytes(32, 0x5A);
  auto indexed = Xsp(1, {XspFrame(4, 3, 1), ownPalette, XspFrame(4, 3, 1)});
  indexed.records = Bytes(64, 0xA5);
  return {{"indexed.xsp", MakeXsp(indexed)},
          {"high-colour.xsp", MakeXsp(Xsp(2, {XspFrame(6, 2, 2), XspFrame(2, 5, 2)}))},
          {"single.xsp", MakeXsp(Xsp(1, {XspFrame(4, 3, 1)}))}};
}

// Raw inputs for the coder: repeats, patterns, noise, pictures, and one
// input of two chunks.
std::vector<std::pair<std::string, Bytes>> RawInputs() {
  Bytes pattern;
  for (int i = 0; i < 300; ++i) pattern.push_back(static_cast<std::uint8_t>("abcab"[i % 5]));
  Bytes noise;
  std::uint32_t state = 12345;
  for (int i = 0; i < 600; ++i) {
    state = state * 1103515245 + 12345;
    noise.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  return {{"one", Bytes(1, 0x41)},
          {"eleven", Bytes(11, 0x41)},
          {"pattern", pattern},
          {"noise", noise},
          {"rgb", RgbPixels(40, 20)},
          {"high-colour", Pixels565(30, 20)},
          {"two-chunks", Bytes(32770, 0)}};
}

Bytes Compressed(const Bytes& input) {
  krelt::TfpEncoder encoder;
  Bytes stream;
  // The inputs are a few kilobytes: only a lack of memory can fail.
  if (!encoder.Compress(input, stream).ok()) std::abort();
  return stream;
}

krelt::GdPicture GdPictureOf(std::string_view name, krelt::DataFormat format,
                             const Bytes& pixels, std::int32_t width, std::int32_t height) {
  return {krelt::NewRecord(name, format, static_cast<std::int32_t>(pixels.size()), width,
                           height),
          Compressed(pixels)};
}

std::vector<std::pair<std::string, std::string>> GdTexts() {
  using krelt::DataFormat;
  using krelt::GdDocument;
  using krelt::LineEnding;
  const GdDocument indexed{
      "logo", false, {GdPictureOf("logo", DataFormat::kOsd256, IndexPixels(40, 20, 256), 40, 20)}};
  const GdDocument rgb{"photo", false,
                       {GdPictureOf("photo", DataFormat::kNone, RgbPixels(9, 4), 9, 4)}};
  const GdDocument frames{"spin", true,
                          {GdPictureOf("spin2", DataFormat::kOsd1555, Pixels565(6, 2), 6, 2),
                           GdPictureOf("spin3", DataFormat::kOsd1555, Pixels565(2, 5), 2, 5)}};
  return {{"indexed-crlf.GD", FormatGdText(indexed, LineEnding::kCrlf)},
          {"indexed-lf.GD", FormatGdText(indexed, LineEnding::kLf)},
          {"rgb.GD", FormatGdText(rgb, LineEnding::kCrlf)},
          {"frames.GD", FormatGdText(frames, LineEnding::kCrlf)}};
}

// Conversion inputs: the option byte, then the picture file.
Bytes WithOptions(std::uint8_t options, const Bytes& file) {
  Bytes input(file.size() + 1);
  input[0] = options;
  std::copy(file.begin(), file.end(), input.begin() + 1);
  return input;
}

bool WriteCorpora(const fs::path& out) {
  using krelt::fuzz::ConversionOptions;
  CorpusWriter bmp(out / "bmp"), pcx(out / "pcx"), xsp(out / "xsp");
  CorpusWriter decode(out / "tfp_decode"), roundTrip(out / "tfp_round_trip");
  CorpusWriter maxRoundTrip(out / "tfp_max_round_trip");
  CorpusWriter conversion(out / "conversion"), gd(out / "gd_reader");
  const std::uint8_t bmpRoad = ConversionOptions::kBmpRoad;
  const std::uint8_t flag1555 = ConversionOptions::kFlag1555;
  for (const auto& [name, file] : BmpFiles()) {
    bmp.Add(name, file);
    conversion.Add(name, WithOptions(bmpRoad, file));
    conversion.Add("1555-" + name, WithOptions(bmpRoad | flag1555, file));
  }
  for (const auto& [name, file] : PcxFiles()) {
    pcx.Add(name, file);
    conversion.Add(name, WithOptions(0, file));
    conversion.Add("1555-" + name, WithOptions(flag1555, file));
  }
  for (const auto& [name, file] : XspFiles()) {
    xsp.Add(name, file);
    conversion.Add(name, WithOptions(0, file));
    conversion.Add("1555-" + name, WithOptions(flag1555, file));
    conversion.Add("range-" + name, WithOptions(ConversionOptions::Range(1, 1), file));
  }
  for (const auto& [name, input] : RawInputs()) {
    roundTrip.Add(name, input);
    maxRoundTrip.Add(name, input);
    decode.Add(name, Compressed(input));
  }
  for (const auto& [name, text] : GdTexts()) gd.Add(name, text);
  return !(bmp.failed() || pcx.failed() || xsp.failed() || decode.failed() ||
           roundTrip.failed() || maxRoundTrip.failed() || conversion.failed() || gd.failed());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: krelt-make-corpus OUTDIR\n");
    return 2;
  }
  if (!WriteCorpora(argv[1])) {
    std::fprintf(stderr, "krelt-make-corpus: can't write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
