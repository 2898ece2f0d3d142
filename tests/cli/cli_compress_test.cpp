#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/utf8_path.h"
#include "support/files.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using test::FileText;
using test::RunCli;

class CliCompressTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "files"); }

  // Files live in their own folder so stray temporary files show up.
  fs::path File(const std::string& name) const { return dir_ / "files" / PathFromUtf8(name); }

  static void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::vector<std::string> FileNames() const { return test::FolderEntries(dir_ / "files"); }

  // Arguments are paths or plain words.
  test::CliRun Run(const std::vector<fs::path>& args) const {
    std::vector<std::string> utf8;
    for (const fs::path& arg : args) utf8.push_back(PathToUtf8(arg));
    return RunCli(utf8, dir_.path());
  }

  test::TempDir dir_{"krelt_cli_compress"};
};

// One message line, prefixed with the program name.
void ExpectOneErrorLine(const test::CliRun& run) {
  EXPECT_EQ(run.err.rfind("krelt-cli: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.back(), '\n');
}

std::string SampleBytes() {
  std::string bytes;
  std::mt19937 random(7);
  for (int i = 0; i < 40000; ++i) bytes += static_cast<char>(random() % 4);
  bytes += std::string(30000, 'z');
  for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(random());
  return bytes;
}

TEST_F(CliCompressTest, CompressThenDecompressGivesOriginal) {
  for (const std::string& original : {SampleBytes(), std::string("A"), std::string()}) {
    Write(File("in.bin"), original);
    const auto compress = Run({"compress", File("in.bin"), File("in.tfp")});
    ASSERT_EQ(compress.exitCode, 0) << compress.err;
    EXPECT_EQ(compress.err, "");
    const std::string stream = FileText(File("in.tfp"));
    EXPECT_LT(stream.size(), std::max<std::size_t>(original.size(), 20));

    const auto decompress = Run({"decompress", File("in.tfp"), File("out.bin")});
    ASSERT_EQ(decompress.exitCode, 0) << decompress.err;
    EXPECT_EQ(FileText(File("out.bin")), original);
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"in.bin", "in.tfp", "out.bin"}));
  }
}

// Chunks are coded and decoded on -j N threads: the files and messages do
// not depend on N.
TEST_F(CliCompressTest, EveryJobCountGivesTheSameFilesAndMessages) {
  std::string original;
  while (original.size() < 9 * 32762) original += SampleBytes();
  Write(File("in.bin"), original);
  ASSERT_EQ(Run({"compress", "-j", "1", File("in.bin"), File("one.tfp")}).exitCode, 0);
  std::string damaged = FileText(File("one.tfp"));
  damaged[damaged.size() / 3] ^= 0x10;
  damaged[damaged.size() * 2 / 3] ^= 0x10;
  Write(File("damaged.tfp"), damaged);
  const std::string damagedError =
      Run({"decompress", "-j", "1", File("damaged.tfp"), File("none")}).err;
  EXPECT_NE(damagedError.find("CRC-16"), std::string::npos) << damagedError;
  for (const char* jobs : {"2", "5"}) {
    ASSERT_EQ(Run({"compress", "-j", jobs, File("in.bin"), File("n.tfp")}).exitCode, 0);
    EXPECT_EQ(FileText(File("n.tfp")), FileText(File("one.tfp"))) << jobs;
    ASSERT_EQ(Run({"decompress", "--jobs", jobs, File("n.tfp"), File("back")}).exitCode, 0);
    EXPECT_EQ(FileText(File("back")), original) << jobs;
    const auto damagedRun = Run({"decompress", "-j", jobs, File("damaged.tfp"), File("none")});
    EXPECT_EQ(damagedRun.exitCode, 1);
    EXPECT_EQ(damagedRun.err, damagedError) << jobs;
  }
}

TEST_F(CliCompressTest, NonAsciiFileNames) {
  const std::string in = "\xC3\xA4pfel \xE2\x82\xAC.bin";
  const std::string packed = "\xF0\x9F\x98\x80.tfp";
  Write(File(in), SampleBytes());
  ASSERT_EQ(Run({"compress", File(in), File(packed)}).exitCode, 0);
  ASSERT_EQ(Run({"decompress", File(packed), File("back")}).exitCode, 0);
  EXPECT_EQ(FileText(File("back")), SampleBytes());
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"back", in, packed}));
}

TEST_F(CliCompressTest, DecompressWritesKnownStream) {
  const std::string stream = {0x00, 0x08, 0x1B, char(0x90), char(0xFF), char(0xFF),
                              0x00, 0x01, 0x00, 0x01, 0x00, 0x07, char(0xA0),
                              char(0xE5), char(0xFF), char(0xFF), 0x00, 0x01, 0x41};
  Write(File("a.tfp"), stream);
  const auto run = Run({"decompress", File("a.tfp"), File("a.bin")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(FileText(File("a.bin")), "A");
}

TEST_F(CliCompressTest, BadStreamLeavesOutputAlone) {
  Write(File("bad.tfp"), std::string("\x00\x08\x1B\x90\xFF\xFF\x00\x01\x00\x02", 10));
  const auto missing = Run({"decompress", File("bad.tfp"), File("new.bin")});
  EXPECT_EQ(missing.exitCode, 1);
  ExpectOneErrorLine(missing);
  EXPECT_NE(missing.err.find("bad.tfp"), std::string::npos) << missing.err;
  EXPECT_EQ(FileNames(), std::vector<std::string>{"bad.tfp"});

  Write(File("old.bin"), "keep me");
  const auto existing = Run({"decompress", File("bad.tfp"), File("old.bin")});
  EXPECT_EQ(existing.exitCode, 1);
  ExpectOneErrorLine(existing);
  EXPECT_EQ(FileText(File("old.bin")), "keep me");
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"bad.tfp", "old.bin"}));
}

TEST_F(CliCompressTest, UnreadableInputOrUnwritableOutputFails) {
  Write(File("in.bin"), "data");
  struct Case {
    std::vector<fs::path> args;
    std::string named;  // the message names this file
  };
  const Case cases[] = {
      {{"compress", File("absent.bin"), File("out")}, "absent.bin"},
      {{"decompress", File("absent.tfp"), File("out")}, "absent.tfp"},
      {{"compress", File("in.bin"), File("no/such/folder")}, "folder"},
  };
  for (const Case& c : cases) {
    const auto run = Run(c.args);
    EXPECT_EQ(run.exitCode, 1) << c.args[1];
    ExpectOneErrorLine(run);
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
  }
  EXPECT_EQ(FileNames(), std::vector<std::string>{"in.bin"});
}

TEST_F(CliCompressTest, UsageErrorsExitWithTwo) {
  const std::vector<fs::path> cases[] = {
      {"compress"},
      {"compress", "a"},
      {"decompress", "a", "b", "c"},
      {"compress", "--level", "a", "b"},
      {"decompress", "-x", "a", "b"},
      {"compress", "-j", "0", "a", "b"},
      {"decompress", "-j", "x", "a", "b"},
  };
  for (const auto& args : cases) {
    const auto run = Run(args);
    EXPECT_EQ(run.exitCode, 2) << args.size();
    EXPECT_EQ(run.err.rfind("krelt-cli: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("Usage: krelt-cli " + PathToUtf8(args[0]) + " IN OUT"),
              std::string::npos)
        << run.err;
  }
  EXPECT_TRUE(FileNames().empty());
}

TEST_F(CliCompressTest, HelpExitsWithZero) {
  for (const std::string command : {"compress", "decompress"}) {
    const auto run = Run({command, "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: krelt-cli " + command + " IN OUT\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.err, "");
  }
}

// The version line is what packaging scripts and bug reports read.
TEST_F(CliCompressTest, VersionPrintsTheProjectVersion) {
  const auto run = Run({"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string("krelt-cli ") + KRELT_VERSION + "\n");
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace krelt
