// krelt-cli on the pictures found by content: warnings, --byte-order, and
// the 16-bit pixels of the new variants end to end.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "common/file_io.h"
#include "common/utf8_path.h"
#include "gd/gd_test_support.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kToolPictures = fs::path(KRELT_SOURCE_DIR) / "tests" / "data";

class CliFormatsTest : public ::testing::Test {
 protected:
  test::CliRun Convert(std::vector<std::string> args) {
    args.insert(args.begin(), {"convert", "--quiet", "--output-dir", PathToUtf8(dir_.path())});
    return test::RunCli(args, dir_.path());
  }

  // The pixels of the only record of the GD file a run wrote.
  Bytes Pixels(const test::CliRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::istringstream out(run.out);
    std::string path;
    std::getline(out, path);
    const GdSource source = test::ParsedGdFile(PathFromUtf8(path));
    if (source.records.size() != 1) return {};
    return test::DecodedArray(source, source.records[0].dataName);
  }

  test::TempDir dir_;
};

TEST_F(CliFormatsTest, WidePcxIsConvertedWithAWarning) {
  test::PcxSpec layout;
  layout.planes = 3;
  layout.width = 33;
  layout.pixels.assign(3 * 33, 50);
  test::WriteBytes(dir_ / "photo.pcx", test::MakePcx(layout));
  const test::CliRun run = Convert({PathToUtf8(dir_ / "photo.pcx")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err,
            "krelt-cli convert: warning: photo.pcx: 24-bit PCX: 34 pixels wide as stored (bytes "
            "per line); its window is 33 wide\n");
  EXPECT_EQ(Pixels(run).size(), 34u * 3);
}

TEST_F(CliFormatsTest, ByteOrderOption) {
  const std::string picture = PathToUtf8(kToolPictures / "bmp24_7x5.bmp");
  const Bytes asRoad = Pixels(Convert({"--1555", picture}));
  EXPECT_EQ(Pixels(Convert({"--1555", "--byte-order", "low-first", picture})), asRoad);
  Bytes swapped = asRoad;
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  EXPECT_EQ(Pixels(Convert({"--1555", "--byte-order", "high-first", picture})), swapped);

  for (const char* bad : {"big", "HIGH-FIRST", ""}) {
    const test::CliRun run = Convert({"--byte-order", bad, picture});
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_NE(run.err.find("--byte-order takes high-first or low-first"), std::string::npos)
        << run.err;
  }
}

TEST_F(CliFormatsTest, VerifyAgainstTakesTheByteOrder) {
  const std::string picture = PathToUtf8(kToolPictures / "pcx24_13x6.pcx");
  const test::CliRun converted = Convert({"--1555", "--byte-order", "low-first", picture});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  const std::string gd = converted.out.substr(0, converted.out.find('\n'));
  const auto verify = [&](std::vector<std::string> options) {
    std::vector<std::string> args = {"verify", "--against", picture, "--1555"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(gd);
    return test::RunCli(args, dir_.path()).exitCode;
  };
  EXPECT_EQ(verify({"--byte-order", "low-first"}), 0);
  EXPECT_EQ(verify({}), 1);
  EXPECT_EQ(test::RunCli({"verify", "--byte-order", "low-first", gd}, dir_.path()).exitCode, 2);
}

// A plain PPM dump: red, green, blue per pixel.
std::vector<int> Dump(const std::string& name) {
  std::ifstream in(kToolPictures / (name + ".expected.ppm"));
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  std::vector<int> rgb;
  for (int value = 0; in >> value;) rgb.push_back(value);
  return rgb;
}

int FiveBits(int c) { return std::min((c + 3) >> 3, 31); }

// The 16-bit pixels the firmware gets for pictures of the new variants:
// palette pictures through their colours, 5-bit fields unchanged, each road
// in its own byte order.
TEST_F(CliFormatsTest, SixteenBitPixelsOfTheNewVariants) {
  struct Case {
    const char* name;
    const char* extension;
    bool bmpRoad;
    bool keepsFields;  // the 5-bit fields are ImageMagick's top five bits
  };
  const Case cases[] = {
      {"bmp4_rle_7x5", ".bmp", true, false},     {"bmp2_7x5", ".bmp", true, false},
      {"bmp8_os2_7x5", ".bmp", true, false},     {"bmp16_565_13x6", ".bmp", true, true},
      {"bmp16_4444_13x6", ".bmp", true, false},  {"pcx256_runs_across_lines_7x5", ".pcx", false, false},
      {"png_rgb16_13x6", ".png", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.extension) == ".png" && !KRELT_HAVE_PNG) continue;
    const Bytes pixels =
        Pixels(Convert({"--1555", PathToUtf8(kToolPictures / (std::string(c.name) + c.extension))}));
    const std::vector<int> rgb = Dump(c.name);
    ASSERT_EQ(pixels.size() * 3, rgb.size() * 2);
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
      const int* colour = &rgb[3 * i];
      int value = 0;
      if (c.keepsFields) {
        value = 0x8000 | (colour[0] >> 3) << 10 | (colour[1] >> 3) << 5 | colour[2] >> 3;
      } else if (std::string(c.extension) == ".pcx") {
        // 256-colour PCX pictures go through their 6-bit palette.
        value = (colour[0] >> 3) << 10 | (colour[1] >> 3) << 5 | colour[2] >> 3;
      } else {
        // Opaque pixels: bit 15 and each component rounded to five bits.
        value = 0x8000 | FiveBits(colour[0]) << 10 | FiveBits(colour[1]) << 5 | FiveBits(colour[2]);
      }
      if (!c.bmpRoad && value != 0) value |= 0x8000;
      const int got = c.bmpRoad ? pixels[2 * i] | pixels[2 * i + 1] << 8
                                : pixels[2 * i] << 8 | pixels[2 * i + 1];
      EXPECT_EQ(got, value) << i;
    }
  }
}

}  // namespace
}  // namespace krelt
