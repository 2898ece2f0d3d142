#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "common/utf8_path.h"
#include "image/png_writer.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(KRELT_SOURCE_DIR) / "samples";

class CliExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanWritePng()) GTEST_SKIP() << "this build writes no PNG pictures";
  }

  // Converts a sample into the test folder; returns the GD file.
  fs::path Convert(const std::string& sample, std::vector<std::string> options = {}) {
    return test::ConvertSample(dir_.path(), sample, std::move(options));
  }

  test::CliRun Extract(std::vector<std::string> args) {
    args.insert(args.begin(), "extract");
    return test::RunCli(args, dir_.path());
  }

  std::vector<std::string> Pngs(const fs::path& folder) {
    std::vector<std::string> names;
    for (const std::string& name : test::FolderEntries(folder)) {
      if (name.ends_with(".png")) names.push_back(name);
    }
    return names;
  }

  test::TempDir dir_;
};

TEST_F(CliExtractTest, WritesOnePictureARecordNextToTheGdFile) {
  struct Case {
    std::string sample;
    std::vector<std::string> convertOptions;
    std::vector<std::string> pngs;
  };
  const std::vector<Case> cases = {
      {"badge.pcx", {}, {"badge.png"}},
      {"logo.bmp", {"--lf"}, {"logo.png"}},
      {"spin.xsp", {"--1555"}, {"spin_0.png", "spin_1.png", "spin_2.png", "spin_3.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sample);
    const fs::path gd = Convert(c.sample, c.convertOptions);
    const test::CliRun run = Extract({PathToUtf8(gd)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Pngs(dir_.path()), c.pngs);
    std::string printed;
    for (const std::string& png : c.pngs) printed += PathToUtf8(dir_ / png) + "\n";
    EXPECT_EQ(run.out, printed);
    for (const std::string& png : c.pngs) fs::remove(dir_ / png);
  }
}

TEST_F(CliExtractTest, DamagedFilesGiveExitOneAndNoPicture) {
  const fs::path gd = Convert("spin.xsp");
  std::string text = test::FileText(gd);
  // A byte of the last frame's array: the earlier frames still decode.
  const std::size_t at = text.rfind("0x", text.rfind("};", text.find("_spin3Gd =")));
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 4, text.compare(at, 4, "0x00") == 0 ? "0x01" : "0x00");
  std::ofstream(gd, std::ios::binary) << text;
  const test::CliRun run = Extract({PathToUtf8(gd)});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("record _spin3Gd"), std::string::npos) << run.err;
  EXPECT_TRUE(Pngs(dir_.path()).empty());
}

TEST_F(CliExtractTest, OptionsAndTheirErrors) {
  const fs::path gd = Convert("badge.pcx");
  const fs::path out = dir_ / "out";
  fs::create_directory(out);
  const test::CliRun withPalette =
      Extract({"--output-dir", PathToUtf8(out), "--palette", PathToUtf8(dir_ / "badge.pcx"),
               "--byte-order", "low-first", PathToUtf8(gd)});
  EXPECT_EQ(withPalette.exitCode, 0) << withPalette.err;
  EXPECT_EQ(Pngs(out), std::vector<std::string>{"badge.png"});

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, 2, "GDFILE is required"},
      {{PathToUtf8(gd), PathToUtf8(gd)}, 2, "was not expected"},
      {{"--byte-order", "middle", PathToUtf8(gd)}, 2, "--byte-order takes"},
      {{"--palette", PathToUtf8(gd), PathToUtf8(gd)}, 1, "--palette: "},
      {{PathToUtf8(dir_ / "absent.GD")}, 1, "absent.GD"},
  };
  for (const Case& c : cases) {
    const test::CliRun run = Extract(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST_F(CliExtractTest, ConvertPreviewWritesThePicturesOfTheStreams) {
  const fs::path preview = dir_ / "preview";
  fs::create_directory(preview);
  fs::copy_file(kSamples / "spin.xsp", dir_ / "spin.xsp");
  const test::CliRun run = test::RunCli(
      {"convert", "--quiet", "--start", "2", "--preview", PathToUtf8(preview),
       PathToUtf8(dir_ / "spin.xsp")},
      dir_.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Pngs(preview), (std::vector<std::string>{"spin_2.png", "spin_3.png"}));
  EXPECT_NE(run.out.find(PathToUtf8(preview / "spin_3.png")), std::string::npos) << run.out;

  const test::CliRun withCheck = test::RunCli(
      {"convert", "--check", "--preview", PathToUtf8(preview), PathToUtf8(dir_ / "spin.xsp")},
      dir_.path());
  EXPECT_EQ(withCheck.exitCode, 2);

  const test::CliRun missing = test::RunCli(
      {"convert", "--quiet", "--preview", PathToUtf8(dir_ / "absent"),
       PathToUtf8(dir_ / "spin.xsp")},
      dir_.path());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("--preview: "), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace krelt
