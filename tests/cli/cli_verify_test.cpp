#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gd/gd_test_support.h"
#include "cli_runner.h"
#include "common/utf8_path.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(KRELT_SOURCE_DIR) / "samples";

class CliVerifyTest : public ::testing::Test {
 protected:
  // Converts a sample picture into the test folder; returns the GD file.
  fs::path Convert(const std::string& sample, std::vector<std::string> options = {}) {
    return test::ConvertSample(dir_.path(), sample, std::move(options));
  }

  test::CliRun Verify(std::vector<std::string> args) {
    args.insert(args.begin(), "verify");
    return test::RunCli(args, dir_.path());
  }

  // Replaces the first occurrence of `from` in a file by `to`.
  void Edit(const fs::path& file, const std::string& from, const std::string& to) {
    std::string text = test::FileText(file);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(file, std::ios::binary) << text;
  }

  test::TempDir dir_;
};

TEST_F(CliVerifyTest, ConvertedFilesVerifyAloneAndAgainstTheirPicture) {
  struct Case {
    std::string sample;
    std::vector<std::string> convertOptions;
    std::vector<std::string> againstOptions;
    std::string firstRecordLine;
    std::string recordCount;
  };
  const std::vector<Case> cases = {
      {"badge.pcx", {}, {}, "_badgeGd: 80 x 40, OSD_256, ", "1 record"},
      {"badge.pcx", {"--1555", "--lf"}, {"--1555"}, "_badgeGd: 80 x 40, OSD_1555, ",
       "1 record"},
      {"logo.bmp", {}, {}, "_logoGd: 64 x 48, 24-bit RGB, ", "1 record"},
      {"photo24.pcx", {"--1555"}, {"--1555"}, "_photo24Gd: 48 x 32, OSD_1555, ",
       "1 record"},
      {"spin.xsp", {"--1555"}, {"--1555"}, "_spin0Gd: 16 x 16, OSD_1555, ",
       "4 records"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sample);
    const fs::path gd = Convert(c.sample, c.convertOptions);
    const test::CliRun alone = Verify({PathToUtf8(gd)});
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_EQ(alone.out.rfind(c.firstRecordLine, 0), 0u) << alone.out;
    EXPECT_NE(alone.out.find("\n" + c.recordCount + " verified\n"), std::string::npos)
        << alone.out;

    std::vector<std::string> args = {"--against", PathToUtf8(dir_ / c.sample)};
    args.insert(args.end(), c.againstOptions.begin(), c.againstOptions.end());
    args.push_back(PathToUtf8(gd));
    const test::CliRun against = Verify(args);
    EXPECT_EQ(against.exitCode, 0) << against.err;
    EXPECT_NE(against.out.find("\n" + c.recordCount + " verified, matching "),
              std::string::npos)
        << against.out;
  }
}

TEST_F(CliVerifyTest, SpriteRangeVerifiesAgainstTheSameRange) {
  fs::copy_file(kSamples / "spin.xsp", dir_ / "spin.xsp");
  const test::CliRun converted = test::RunCli(
      {"convert", "--quiet", "--start", "1", "--end", "2", PathToUtf8(dir_ / "spin.xsp")},
      dir_.path());
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  const std::string gd = PathToUtf8(dir_ / "spin1.GD");
  const std::string picture = PathToUtf8(dir_ / "spin.xsp");
  EXPECT_EQ(Verify({"--against", picture, "--start", "1", "--end", "2", gd}).exitCode, 0);
  const test::CliRun whole = Verify({"--against", picture, gd});
  EXPECT_EQ(whole.exitCode, 1);
  EXPECT_NE(whole.err.find("the file has 2 records, the conversion of"), std::string::npos)
      << whole.err;
}

TEST_F(CliVerifyTest, EachFaultGivesExitOneNamingIt) {
  struct Fault {
    std::string name;
    std::string sample;
    std::string from;
    std::string to;
    std::string message;
  };
  // badge.pcx: 80 x 40 indices, size 3200. spin.xsp: four frames.
  const std::vector<Fault> faults = {
      {"size mismatch", "badge.pcx", "\t3200,", "\t3201,",
       "size 3201 does not match 80 x 40 x 1 = 3200"},
      {"wrong width", "badge.pcx", "\t80,\t\t//width", "\t81,\t\t//width",
       "does not match 81 x 40 x 1"},
      {"missing array", "badge.pcx", "byte _badgeCpm[]", "byte _otherCpm[]",
       "its data array _badgeCpm is not declared"},
      {"corrupted byte", "badge.pcx", "0x08,", "0x09,",
       "array _badgeCpm (line 2) does not decode"},
      {"pointer table out of order", "spin.xsp", "\t&_spin0Gd,\r\n", "",
       "pointer table _spinGds (line"},
      {"malformed text", "badge.pcx", "};", "}", "expected ';'"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const fs::path gd = Convert(fault.sample);
    Edit(gd, fault.from, fault.to);
    const test::CliRun run = Verify({PathToUtf8(gd)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(fault.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("krelt-cli verify: ", 0), 0u) << run.err;
  }
}

TEST_F(CliVerifyTest, AgainstAnotherPictureOrSettingFails) {
  const fs::path gd = Convert("badge.pcx");
  fs::copy_file(kSamples / "photo24.pcx", dir_ / "photo24.pcx");
  const test::CliRun other = Verify({"--against", PathToUtf8(dir_ / "photo24.pcx"), PathToUtf8(gd)});
  EXPECT_EQ(other.exitCode, 1);
  EXPECT_NE(other.err.find("differ in size: 80 x 40 and 48 x 32"), std::string::npos)
      << other.err;

  const test::CliRun flag =
      Verify({"--against", PathToUtf8(dir_ / "badge.pcx"), "--1555", PathToUtf8(gd)});
  EXPECT_EQ(flag.exitCode, 1);
  EXPECT_NE(flag.err.find("differ in pixel format: 3200 and 6400 bytes"), std::string::npos)
      << flag.err;

  const test::CliRun missing =
      Verify({"--against", PathToUtf8(dir_ / "none.pcx"), PathToUtf8(gd)});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("none.pcx"), std::string::npos) << missing.err;
}

TEST_F(CliVerifyTest, UsageErrorsGiveExitTwo) {
  const std::vector<std::vector<std::string>> usages = {
      {},
      {"--1555", "x.GD"},
      {"--start", "1", "x.GD"},
      {"--against"},
      {"--bogus", "x.GD"},
      {"a.GD", "b.GD"},
  };
  for (const auto& args : usages) {
    const test::CliRun run = Verify(args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("Try 'krelt-cli verify --help'"), std::string::npos);
  }
  EXPECT_EQ(Verify({"--help"}).exitCode, 0);
  const test::CliRun absent = Verify({PathToUtf8(dir_ / "absent.GD")});
  EXPECT_EQ(absent.exitCode, 1);
  EXPECT_NE(absent.err.find("absent.GD"), std::string::npos) << absent.err;
}

}  // namespace
}  // namespace krelt
