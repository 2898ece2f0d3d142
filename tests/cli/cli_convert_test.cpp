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
#include "image/bmp_image.h"
#include "image/high_colour.h"
#include "image/pcx_image.h"
#include "image/xsp_sprite.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using test::kSamples;
using test::kToolPictures;
using test::Lines;

// What the readers deliver for each picture or frame, RGB pixels made
// 16-bit by the road's rule with the 1555 flag, and 16-bit pixels of the
// PCX and sprite road finished the way the firmware takes them.
std::vector<Bytes> ReaderPictures(const fs::path& path, bool flag1555) {
  const auto finished = [](const Picture& picture) {
    return picture.pixelFormat == kPixelFormat16Bit ? test::FinishedHighColour(picture.pixels)
                                                    : picture.pixels;
  };
  Bytes file;
  EXPECT_TRUE(ReadFileBytes(path, file).ok());
  const ReadOptions options{flag1555};
  std::vector<Bytes> pictures;
  if (path.extension() == ".xsp") {
    XspFile sprite;
    EXPECT_TRUE(ReadXspFile(file, sprite).ok());
    for (std::int32_t frame = 0; frame < sprite.frameCount; ++frame) {
      XspFrame read;
      EXPECT_TRUE(ReadXspFrame(file, options, frame, read).ok());
      pictures.push_back(finished(read.picture));
    }
    return pictures;
  }
  const bool bmp = path.extension() == ".bmp";
  Picture picture;
  EXPECT_TRUE((bmp ? ReadBmp : ReadPcx)(file, options, picture).ok());
  if (flag1555 && picture.pixelFormat == kPixelFormatRgb) {
    RgbPictureTo555(picture, (bmp ? kBmpRoad : kPcxSpriteRoad).colourTopBit);
  }
  pictures.push_back(bmp ? picture.pixels : finished(picture));
  return pictures;
}

class CliConvertTest : public ::testing::Test {
 protected:
  test::CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "convert");
    return test::RunCli(args, dir_.path());
  }

  // The GD files in the test folder (the CLI's capture files aside).
  std::vector<std::string> GdFiles() const {
    std::vector<std::string> files;
    for (const std::string& name : test::FolderEntries(dir_.path())) {
      if (name.ends_with(".GD")) files.push_back(name);
    }
    return files;
  }

  test::TempDir dir_;
};

TEST_F(CliConvertTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--bogus", "a.pcx"},
      {"a.pcx", "--start"},
      {"--output-dir"},
  };
  for (const auto& args : cases) {
    const test::CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("krelt-cli convert: "), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_TRUE(GdFiles().empty());
}

TEST_F(CliConvertTest, HelpDescribesTheOptions) {
  const test::CliRun run = Run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* option : {"--1555", "--start", "--end", "--output-dir", "--lf", "--quiet"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

TEST_F(CliConvertTest, FailureExitsWithOneAndWritesNothing) {
  const test::CliRun missing = Run({PathToUtf8(dir_ / "missing.pcx")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("missing.pcx"), std::string::npos) << missing.err;
  EXPECT_TRUE(missing.out.empty());

  fs::copy_file(kSamples / "spin.xsp", dir_ / "spin.xsp");
  const test::CliRun range = Run({"--start", "3", "--end", "1", PathToUtf8(dir_ / "spin.xsp")});
  EXPECT_EQ(range.exitCode, 1);
  EXPECT_NE(range.err.find("spin.xsp: the frame range 3 to 1 is empty"), std::string::npos)
      << range.err;

  // The GD name is taken by a folder: the write fails after the temporary
  // file was made, and it is gone again.
  fs::create_directory(dir_ / "spin.GD");
  const test::CliRun taken = Run({PathToUtf8(dir_ / "spin.xsp")});
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_NE(taken.err.find("spin.GD"), std::string::npos) << taken.err;
  EXPECT_EQ(test::FolderEntries(dir_.path()),
            (std::vector<std::string>{"cli.stderr", "cli.stdout", "spin.GD", "spin.xsp"}));
}

TEST_F(CliConvertTest, NonAsciiPathsGoInAndComeOutAsUtf8) {
  const fs::path folder = dir_ / PathFromUtf8("\xE2\x82\xAC \xC3\xBC");
  fs::create_directory(folder);
  const fs::path picture = folder / PathFromUtf8("Abzeichen-\xF0\x9F\x98\x80.pcx");
  fs::copy_file(kSamples / "badge.pcx", picture);
  const fs::path gd = folder / PathFromUtf8("Abzeichen-\xF0\x9F\x98\x80.GD");
  const test::CliRun run = Run({"--quiet", PathToUtf8(picture)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, PathToUtf8(gd) + "\n");
  EXPECT_NE(test::FileText(gd).find("byte _abzeichen_____Cpm[]"), std::string::npos);

  const fs::path elsewhere = dir_ / PathFromUtf8("\xE6\x97\xA5");
  fs::create_directory(elsewhere);
  const test::CliRun moved = Run({"--quiet", "--output-dir", PathToUtf8(elsewhere), PathToUtf8(picture)});
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_EQ(moved.out, PathToUtf8(elsewhere / gd.filename()) + "\n");
  EXPECT_EQ(test::FileText(elsewhere / gd.filename()), test::FileText(gd));
}

TEST_F(CliConvertTest, WritesNextToThePictureAndPrintsTheReport) {
  fs::copy_file(kSamples / "badge.pcx", dir_ / "Badge.PCX");
  const test::CliRun run = Run({PathToUtf8(dir_ / "Badge.PCX")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], PathToUtf8(dir_ / "Badge.GD"));
  EXPECT_EQ(lines[1], "TYPE_GrData\tbadgeGd");
  EXPECT_EQ(lines[4], "data format\tOSD_256");
  EXPECT_EQ(lines[7], "size\t3200");
  EXPECT_EQ(lines[8], "width\t80");
  EXPECT_EQ(test::FileText(dir_ / "Badge.GD").find("\r\n"), 17u);

  const test::CliRun quiet = Run({"--quiet", "--lf", PathToUtf8(dir_ / "Badge.PCX")});
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.out, PathToUtf8(dir_ / "Badge.GD") + "\n");
  EXPECT_EQ(test::FileText(dir_ / "Badge.GD").find('\r'), std::string::npos);
}

TEST_F(CliConvertTest, SpriteRangeWithFlag) {
  const test::CliRun run =
      Run({"--1555", "--start", "1", "--end", "2", "--output-dir", PathToUtf8(dir_.path()),
           PathToUtf8(kSamples / "spin.xsp")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u + 24u);
  EXPECT_EQ(lines[0], PathToUtf8(dir_ / "spin1.GD"));
  EXPECT_EQ(lines[4], "data format\tOSD_1555");
  EXPECT_EQ(lines[21], "TYPE_GrData\tspinGd");
  EXPECT_EQ(lines[22], "\tspin1Gd");
  const GdSource source = test::ParsedGdFile(dir_ / "spin1.GD");
  const std::vector<Bytes> frames = ReaderPictures(kSamples / "spin.xsp", true);
  ASSERT_EQ(source.arrays.size(), 2u);
  EXPECT_EQ(test::DecodedArray(source, "_spin1Cpm"), frames.at(1));
  EXPECT_EQ(test::DecodedArray(source, "_spin2Cpm"), frames.at(2));
}

// Every sample, plain and with the 1555 flag: each array decodes to what
// the readers deliver.
TEST_F(CliConvertTest, SamplesDecodeToTheReadersPixels) {
  for (const char* sample : {"logo.bmp", "badge.pcx", "photo24.pcx", "spin.xsp"}) {
    for (bool flag1555 : {false, true}) {
      SCOPED_TRACE(std::string(sample) + (flag1555 ? " --1555" : ""));
      std::vector<std::string> args = {"--quiet", "--output-dir", PathToUtf8(dir_.path())};
      if (flag1555) args.push_back("--1555");
      args.push_back(PathToUtf8(kSamples / sample));
      const test::CliRun run = Run(args);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const GdSource source = test::ParsedGdFile(Lines(run.out).at(0));
      const std::vector<Bytes> pictures = ReaderPictures(kSamples / sample, flag1555);
      ASSERT_EQ(source.records.size(), pictures.size());
      for (std::size_t i = 0; i < pictures.size(); ++i) {
        const GdRecord& record = source.records[i];
        EXPECT_EQ(test::DecodedArray(source, record.dataName), pictures[i]) << record.name;
        EXPECT_EQ(static_cast<std::size_t>(record.size), pictures[i].size());
      }
    }
  }
}

// ---- Pictures written by independent tools ----

struct Ppm {
  int width = 0;
  int height = 0;
  std::vector<int> rgb;  // red, green, blue per pixel, top row first
};

Ppm ReadPlainPpm(const fs::path& path) {
  std::ifstream in(path);
  std::string magic;
  int maximum = 0;
  Ppm ppm;
  in >> magic >> ppm.width >> ppm.height >> maximum;
  EXPECT_EQ(magic, "P3");
  EXPECT_EQ(maximum, 255);
  for (int value; in >> value;) ppm.rgb.push_back(value);
  EXPECT_EQ(ppm.rgb.size(), static_cast<std::size_t>(ppm.width * ppm.height * 3));
  return ppm;
}

// The 16-bit value the firmware gets for an RGB colour on each road.
unsigned Bmp16(int r, int g, int b) {
  const auto five = [](int c) { return static_cast<unsigned>(std::min((c + 3) >> 3, 31)); };
  return 0x8000u | five(r) << 10 | five(g) << 5 | five(b);
}
unsigned PcxPalette16(int r, int g, int b) {
  const unsigned value = static_cast<unsigned>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
  return value == 0 ? 0 : value | 0x8000u;
}

struct ToolCase {
  std::string picture;
  bool flag1555;
  // How one decoded pixel is checked against the tool's colour: the bytes
  // per pixel and the expected bytes for red, green, blue.
  int bytesPerPixel;
  std::string layout;  // "rgb", "bmp16", "pcx16", "header-index"
};

TEST_F(CliConvertTest, ToolPicturesDecodeToWhatTheToolsSay) {
  const std::vector<ToolCase> cases = {
      {"bmp24_7x5.bmp", false, 3, "rgb"},      {"bmp24_13x6.bmp", false, 3, "rgb"},
      {"bmp32_13x6.bmp", false, 3, "rgb"},     {"bmp24_13x6.bmp", true, 2, "bmp16"},
      {"bmp8_7x5.bmp", true, 2, "bmp16"},      {"bmp8_13x6.bmp", true, 2, "bmp16"},
      {"pcx24_7x5.pcx", false, 3, "rgb"},      {"pcx24_13x6.pcx", false, 3, "rgb"},
      {"pcx256_7x5.pcx", true, 2, "pcx16"},    {"pcx256_13x6.pcx", true, 2, "pcx16"},
      {"pcx16_3planes_7x5.pcx", false, 1, "header-index"},
      {"pcx16_4planes_13x6.pcx", true, 1, "header-index"},
      {"pcx2_1plane_13x6.pcx", false, 1, "header-index"},
  };
  for (const ToolCase& c : cases) {
    SCOPED_TRACE(c.picture + (c.flag1555 ? " --1555" : ""));
    const fs::path picture = kToolPictures / c.picture;
    std::vector<std::string> args = {"--quiet", "--output-dir", PathToUtf8(dir_.path())};
    if (c.flag1555) args.push_back("--1555");
    args.push_back(PathToUtf8(picture));
    const test::CliRun run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const GdSource source = test::ParsedGdFile(Lines(run.out).at(0));
    ASSERT_EQ(source.records.size(), 1u);
    const GdRecord& record = source.records[0];
    const Bytes decoded = test::DecodedArray(source, record.dataName);
    const Ppm ppm = ReadPlainPpm(kToolPictures /
                                 (PathToUtf8(picture.stem()) + ".expected.ppm"));
    // 24-bit PCX pictures take the bytes per line as their width, so the
    // record may be wider than the picture; the extra columns are padding.
    ASSERT_GE(record.width, ppm.width);
    ASSERT_EQ(record.height, ppm.height);
    ASSERT_EQ(decoded.size(), static_cast<std::size_t>(record.width * record.height *
                                                        c.bytesPerPixel));
    Bytes file;
    ASSERT_TRUE(ReadFileBytes(picture, file).ok());
    int mismatches = 0;
    for (int y = 0; y < ppm.height; ++y) {
      for (int x = 0; x < ppm.width; ++x) {
        const int* rgb = &ppm.rgb[static_cast<std::size_t>((y * ppm.width + x) * 3)];
        const std::uint8_t* got =
            &decoded[static_cast<std::size_t>((y * record.width + x) * c.bytesPerPixel)];
        bool same = false;
        if (c.layout == "rgb") {
          same = got[0] == rgb[0] && got[1] == rgb[1] && got[2] == rgb[2];
        } else if (c.layout == "bmp16") {
          same = (got[0] | got[1] << 8) == static_cast<int>(Bmp16(rgb[0], rgb[1], rgb[2]));
        } else if (c.layout == "pcx16") {
          same = (got[0] << 8 | got[1]) ==
                 static_cast<int>(PcxPalette16(rgb[0], rgb[1], rgb[2]));
        } else {
          // 16-colour pictures keep indices into the header palette.
          const std::uint8_t* entry = &file[16 + 3 * std::size_t{got[0]}];
          same = got[0] < 16 && entry[0] == rgb[0] && entry[1] == rgb[1] &&
                 entry[2] == rgb[2];
        }
        if (!same) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

}  // namespace
}  // namespace krelt
