// Standard input and output as '-', an OUT that is IN itself, outputs that
// are FIFOs rather than regular files, and folders that can't be read.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/cli_runner.h"
#include "common/utf8_path.h"
#include "support/files.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using test::FileText;

class CliStreamsTest : public ::testing::Test {
 protected:
  // The sample, and in ref/ what the commands write into regular files.
  void SetUp() override {
    fs::copy_file(test::kSamples / "spin.xsp", dir_ / "spin.xsp");
    fs::create_directory(dir_ / "ref");
    fs::create_directory(dir_ / "out");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"compress", PathOf("spin.xsp"), PathOf("ref/spin.tfp")},
          {"convert", "--quiet", "--output-dir", PathOf("ref"), PathOf("spin.xsp")}}) {
      ASSERT_EQ(Run(args).exitCode, 0) << args[0];
    }
  }

  test::CliRun Run(const std::vector<std::string>& args, const std::string& input = {}) const {
    return test::RunCli(args, dir_.path(), input.empty() ? fs::path() : dir_ / input);
  }

  std::string PathOf(const std::string& name) const { return PathToUtf8(dir_ / name); }

  test::TempDir dir_{"krelt_cli_streams"};
};

TEST_F(CliStreamsTest, DashIsStandardInputAndOutput) {
  const std::string original = FileText(dir_ / "spin.xsp");
  const std::string stream = FileText(dir_ / "ref/spin.tfp");
  struct Case {
    std::vector<std::string> args;
    std::string input;    // standard input's file, if any
    std::string written;  // the file OUT names, or empty for standard output
    const std::string& expected;
  };
  const Case cases[] = {
      {{"compress", PathOf("spin.xsp"), "-"}, "", "", stream},
      {{"compress", "-", PathOf("out/a.tfp")}, "spin.xsp", "out/a.tfp", stream},
      {{"decompress", "-", "-"}, "ref/spin.tfp", "", original},
      {{"decompress", "--", "-", PathOf("out/b.bin")}, "ref/spin.tfp", "out/b.bin", original},
      // Only '-' itself is a stream: a path ending in it names a file.
      {{"compress", PathOf("spin.xsp"), PathOf("out/-")}, "", "out/-", stream},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
    const test::CliRun run = Run(c.args, c.input);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(c.written.empty() ? run.out : FileText(dir_ / c.written), c.expected);
  }
}

TEST_F(CliStreamsTest, OutputThatIsTheInputIsRefused) {
  const std::string in = PathOf("spin.xsp");
  const std::string hard = PathOf("hard.xsp");
  fs::create_hard_link(in, hard);
  std::vector<std::vector<std::string>> cases = {
      {"compress", in, in}, {"decompress", in, hard}, {"compress", hard, in}};
#ifndef _WIN32
  fs::create_symlink("spin.xsp", dir_ / "link.xsp");
  cases.push_back({"compress", in, PathOf("link.xsp")});
#endif
  const std::string original = FileText(in);
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2]);
    const test::CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "krelt-cli: can't write '" + args[2] + "' over its input '" + args[1] +
                           "': they are the same file\n");
    EXPECT_EQ(FileText(in), original);
  }
}

#ifndef _WIN32

// Each command's output written into a FIFO, which stays a FIFO, gives the
// bytes that command writes into a regular file.
TEST_F(CliStreamsTest, FifosAreWrittenIntoNotReplaced) {
  ASSERT_EQ(Run({"extract", PathOf("ref/spin.GD")}).exitCode, 0);
  struct Case {
    std::vector<std::string> args;
    std::string fifo;
    std::string reference;
  };
  const Case cases[] = {
      {{"compress", PathOf("spin.xsp"), PathOf("out/spin.tfp")}, "out/spin.tfp", "ref/spin.tfp"},
      {{"decompress", PathOf("ref/spin.tfp"), PathOf("out/spin.bin")}, "out/spin.bin", "spin.xsp"},
      {{"convert", "--quiet", "--output-dir", PathOf("out"), PathOf("spin.xsp")}, "out/spin.GD",
       "ref/spin.GD"},
      {{"extract", "--output-dir", PathOf("out"), PathOf("ref/spin.GD")}, "out/spin_3.png",
       "ref/spin_3.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    // Opened for reading first, the FIFO takes the whole output into its
    // buffer (64 KiB), so the command never waits for it to be read.
    const fs::path fifo = dir_ / c.fifo;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const test::CliRun run = Run(c.args);
    std::string text(std::size_t{1} << 16, '\0');
    text.resize(static_cast<std::size_t>(std::max<ssize_t>(read(reader, text.data(), text.size()), 0)));
    close(reader);
    EXPECT_EQ(text, FileText(dir_ / c.reference));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_fifo(dir_ / c.fifo));
    fs::remove(dir_ / c.fifo);
  }
  EXPECT_EQ(test::FolderEntries(dir_ / "out"),
            (std::vector<std::string>{"spin_0.png", "spin_1.png", "spin_2.png"}));
}

// A folder that names itself can't be looked into, even by root: every
// command that looks there fails with the system's reason, not an
// exception.
TEST_F(CliStreamsTest, FoldersThatCantBeReadGiveTheSystemsReason) {
  fs::create_directory_symlink("loop", dir_ / "loop");
  const std::string reason =
      std::make_error_code(std::errc::too_many_symbolic_link_levels).message();
  const std::vector<std::string> cases[] = {
      {"convert", "--check", "--output-dir", PathOf("loop"), PathOf("spin.xsp")},
      {"convert", "--output-dir", PathOf("loop"), PathOf("spin.xsp")},
      {"extract", "--output-dir", PathOf("loop"), PathOf("ref/spin.GD")},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[1]);
    const test::CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(PathOf("loop") + "/spin"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(": " + reason + "\n"), std::string::npos) << run.err;
  }
}

#endif

}  // namespace
}  // namespace krelt
