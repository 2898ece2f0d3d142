// Writes the bundled sample pictures: krelt-make-samples OUTDIR

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "support/picture_writers.h"

namespace {

using krelt::test::Rgb;

std::uint8_t Clamp8(double value) {
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

double Distance(double x0, double y0, double x1, double y1) {
  return std::hypot(x1 - x0, y1 - y0);
}

// 64 x 48, 24 bits: a blue-to-violet gradient with a golden ring.
std::vector<std::uint8_t> MakeLogo() {
  krelt::test::BmpSpec layout;
  layout.width = 64;
  layout.height = 48;
  layout.bitsPerPixel = 24;
  for (int y = 0; y < layout.height; ++y) {
    for (int x = 0; x < layout.width; ++x) {
      const double ring = std::fabs(Distance(x, y, 31.5, 23.5) - 15.0);
      const double gold = ring < 4.0 ? 1.0 - ring / 4.0 : 0.0;
      const double red = 40 + 2.5 * x, green = 60 + y, blue = 200 - x;
      layout.pixels.push_back(Clamp8(red * (1 - gold) + 250 * gold));
      layout.pixels.push_back(Clamp8(green * (1 - gold) + 200 * gold));
      layout.pixels.push_back(Clamp8(blue * (1 - gold) + 40 * gold));
    }
  }
  return krelt::test::MakeBmp(layout);
}

// 80 x 40, 256 colours: a green badge with a light border and stripes on a
// dark ground. Palette: 0 background, 1 border, 16..79 a green ramp.
std::vector<std::uint8_t> MakeBadge() {
  krelt::test::PcxSpec layout;
  layout.bitsPerPixel = 8;
  layout.planes = 1;
  layout.width = 80;
  layout.height = 40;
  layout.palette.assign(256, Rgb{});
  layout.palette[0] = {24, 24, 40};
  layout.palette[1] = {240, 240, 220};
  for (int k = 0; k < 64; ++k) {
    layout.palette[16 + k] = {static_cast<std::uint8_t>(20 + k),
                            static_cast<std::uint8_t>(100 + 2 * k),
                            static_cast<std::uint8_t>(40 + k)};
  }
  for (int y = 0; y < layout.height; ++y) {
    for (int x = 0; x < layout.width; ++x) {
      const int inset = std::min(std::min(x, 79 - x), std::min(y, 39 - y));
      std::uint8_t index = 0;
      if (inset >= 4) {
        const int phase = (x + y) % 126;  // a triangle wave: no seams
        index = static_cast<std::uint8_t>(16 + (phase < 64 ? phase : 126 - phase));
        if ((x - y + 80) % 16 < 3) index = 1;
      } else if (inset >= 2) {
        index = 1;
      }
      layout.pixels.push_back(index);
    }
  }
  return krelt::test::MakePcx(layout);
}

// 48 x 32, 24 bits in three planes: a sunset sky with a sun over the sea.
std::vector<std::uint8_t> MakePhoto() {
  krelt::test::PcxSpec layout;
  layout.bitsPerPixel = 8;
  layout.planes = 3;
  layout.width = 48;
  layout.height = 32;
  for (int y = 0; y < layout.height; ++y) {
    for (int x = 0; x < layout.width; ++x) {
      const bool sea = y >= 22;
      const double sun = Distance(x, y, 30, 20);
      double red = 250 - 4 * y, green = 120 + 2 * y, blue = 90 + 4 * y;
      if (sea) {
        red = 30;
        green = 60 + 3 * (y - 22);
        blue = 140 + ((x + y) % 6) * 8;
      } else if (sun < 6) {
        red = 255;
        green = 220 - 10 * sun;
        blue = 80;
      }
      layout.pixels.push_back(Clamp8(red));
      layout.pixels.push_back(Clamp8(green));
      layout.pixels.push_back(Clamp8(blue));
    }
  }
  return krelt::test::MakePcx(layout);
}

// A propeller of `size` pixels turned by `angle`; 8-bit indices 0 (clear),
// 1..31 (blade shade by distance from the hub).
krelt::test::XspFrameSpec MakeSpinFrame(int width, int height, double angle) {
  krelt::test::XspFrameSpec frame;
  frame.width = width;
  frame.height = height;
  frame.x = -width / 2;
  frame.y = -height / 2;
  const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
  const double radius = std::min(cx, cy);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = x - cx, dy = y - cy;
      const double along = dx * std::cos(angle) + dy * std::sin(angle);
      const double across = -dx * std::sin(angle) + dy * std::cos(angle);
      const double distance = std::hypot(dx, dy);
      const bool blade = std::fabs(across) < 2.0 && distance <= radius;
      const bool hub = distance < 2.5;
      std::uint8_t index = 0;
      if (hub) {
        index = 31;
      } else if (blade) {
        index = static_cast<std::uint8_t>(1 + std::lround(29 * std::fabs(along) / radius));
      }
      frame.pixels.push_back(index);
    }
  }
  return frame;
}

// 6-bit palette: 0 black, 1..31 a ramp from `from` to `to`.
std::vector<std::uint8_t> RampPalette(Rgb from, Rgb to) {
  std::vector<std::uint8_t> palette(768, 0);
  for (int k = 1; k < 32; ++k) {
    const double t = (k - 1) / 30.0;
    palette[3 * k] = static_cast<std::uint8_t>(std::lround(from.red + t * (to.red - from.red)));
    palette[3 * k + 1] =
        static_cast<std::uint8_t>(std::lround(from.green + t * (to.green - from.green)));
    palette[3 * k + 2] =
        static_cast<std::uint8_t>(std::lround(from.blue + t * (to.blue - from.blue)));
  }
  return palette;
}

// Four frames of a turning propeller in mixed sizes; frame 2 has its own
// (warm) palette, the others use the file's (cool) one.
std::vector<std::uint8_t> MakeSpin() {
  krelt::test::XspSpec layout;
  layout.pixelKind = 1;
  layout.defaultPalette = RampPalette({10, 30, 63}, {50, 63, 63});
  layout.records.assign(32, 0);
  layout.records[0] = 4;  // a 32-byte record of the sprite file's own use
  const int sizes[4][2] = {{16, 16}, {24, 16}, {20, 20}, {16, 24}};
  for (int n = 0; n < 4; ++n) {
    layout.frames.push_back(MakeSpinFrame(sizes[n][0], sizes[n][1],
                                        n * std::numbers::pi / 4));
  }
  layout.frames[2].ownPalette = RampPalette({63, 20, 0}, {63, 63, 20});
  layout.frames[2].records.assign(16, 0);
  return krelt::test::MakeXsp(layout);
}

bool WriteFile(const std::filesystem::path& path,
               const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "krelt-make-samples: can't write %s\n",
                 path.string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: krelt-make-samples OUTDIR\n", stderr);
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  const bool written = WriteFile(directory / "logo.bmp", MakeLogo()) &&
                       WriteFile(directory / "badge.pcx", MakeBadge()) &&
                       WriteFile(directory / "photo24.pcx", MakePhoto()) &&
                       WriteFile(directory / "spin.xsp", MakeSpin());
  return written ? 0 : 1;
}
