// krelt-cli when things go wrong: read-only output, memory running out,
// unprintable bytes, and what each kind of error makes of the exit code.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "common/utf8_path.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;

class CliFailureTest : public ::testing::Test {
 protected:
  test::CliRun Run(const std::vector<std::string>& args) {
    return test::RunCli(args, dir_.path());
  }
  std::string File(const std::string& name) const { return PathToUtf8(dir_ / name); }

  // Neither raw control bytes (but the line end) nor bytes beyond ASCII.
  static bool Printable(const std::string& text) {
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\n') || byte >= 0x7F) return false;
    }
    return true;
  }

  test::TempDir dir_;
};

TEST_F(CliFailureTest, ReadOnlyGdFileIsRefusedAndKept) {
  fs::copy_file(test::kSamples / "badge.pcx", dir_ / "badge.pcx");
  ASSERT_EQ(Run({"convert", File("badge.pcx")}).exitCode, 0);
  const std::string written = test::FileText(dir_ / "badge.GD");
  fs::permissions(dir_ / "badge.GD",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  const test::CliRun run = Run({"convert", "--lf", File("badge.pcx")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "krelt-cli convert: '" + File("badge.GD") + "' is read-only\n");
  EXPECT_EQ(test::FileText(dir_ / "badge.GD"), written);
  EXPECT_EQ(test::FolderEntries(dir_.path()),
            (std::vector<std::string>{"badge.GD", "badge.pcx", "cli.stderr", "cli.stdout"}));
  fs::permissions(dir_ / "badge.GD", fs::perms::owner_write, fs::perm_options::add);
}

// The stream prefix "not a valid stream" is for damaged streams only;
// files that are missing or unreadable say so plainly. Usage errors alone
// exit with 2.
TEST_F(CliFailureTest, DecompressMessagesAndExitCodesFollowTheErrorKind) {
  test::WriteBytes(dir_ / "bad.tfp", std::vector<std::uint8_t>{0, 8, 0, 0, 0xFF});
  fs::create_directory(dir_ / "folder");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {{"decompress", File("bad.tfp"), File("out")}, 1,
       "krelt-cli: '" + File("bad.tfp") + "': not a valid COMPRESS_Tfp stream: stream header"},
      {{"decompress", File("missing.tfp"), File("out")}, 1,
       "krelt-cli: can't open '" + File("missing.tfp") + "': no such file\n"},
      {{"decompress", File("folder"), File("out")}, 1,
       "krelt-cli: can't read '" + File("folder") + "': it is a folder\n"},
      {{"decompress", File("bad.tfp")}, 2, "krelt-cli: OUT is required\n"},
  };
  for (const Case& c : cases) {
    const test::CliRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
    EXPECT_FALSE(fs::exists(dir_ / "out"));
  }
}

TEST_F(CliFailureTest, UnprintableBytesInMessagesAreEscaped) {
  test::WriteBytes(dir_ / "bom.GD",
                   std::vector<std::uint8_t>{0xEF, 0xBB, 0xBF, '#', 'i', 'n', 'c'});
  const test::CliRun bom = Run({"verify", File("bom.GD")});
  EXPECT_EQ(bom.exitCode, 1);
  EXPECT_EQ(bom.err,
            "krelt-cli verify: bom.GD: line 1: the file starts with a UTF-8 byte-order mark\n");

  // Windows arguments are UTF-16, so only other systems can pass a name
  // that is not UTF-8.
#ifdef _WIN32
  const std::string notUtf8, notUtf8Shown;
#else
  const std::string notUtf8 = "\xFF", notUtf8Shown = "\\xFF";
#endif
  const test::CliRun odd = Run({"decompress", File("odd\x1B[2J" + notUtf8 + ".tfp"), File("out")});
  EXPECT_EQ(odd.exitCode, 1);
  EXPECT_TRUE(Printable(odd.err)) << odd.err;
  EXPECT_NE(odd.err.find("odd\\x1B[2J" + notUtf8Shown + ".tfp"), std::string::npos) << odd.err;
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)

// A 16384 x 16384 256-colour PCX (256 MiB of pixels, the most a picture may
// have) in 8.5 MB of run-length code.
std::vector<std::uint8_t> HugePcx() {
  test::PcxSpec layout;
  layout.width = 16384;
  layout.height = 16384;
  layout.palette.resize(256);
  const std::vector<std::uint8_t> line =
      test::EncodePcxRunLength(std::vector<std::uint8_t>(16384, 0));
  std::vector<std::uint8_t> coded;
  coded.reserve(line.size() * 16384);
  for (int row = 0; row < 16384; ++row) coded.insert(coded.end(), line.begin(), line.end());
  return test::MakePcxWithData(layout, coded);
}

// Under a 200 MiB address space limit the picture can't be loaded: both the
// conversion, whose core reports allocation failures, and the verifier,
// which loads it through the readers directly, end with a message and exit
// 1 instead of an abort.
TEST_F(CliFailureTest, RunningOutOfMemoryIsAFailureNotACrash) {
  test::WriteBytes(dir_ / "huge.pcx", HugePcx());
  fs::copy_file(test::kSamples / "badge.pcx", dir_ / "badge.pcx");
  ASSERT_EQ(Run({"convert", File("badge.pcx")}).exitCode, 0);
  const std::vector<std::vector<std::string>> cases = {
      {"convert", File("huge.pcx")},
      {"verify", "--against", File("huge.pcx"), File("badge.GD")},
  };
  for (const auto& args : cases) {
    std::vector<std::string> limited = {"-c", "ulimit -v 204800 && exec \"$0\" \"$@\"",
                                        KRELT_CLI_PATH};
    limited.insert(limited.end(), args.begin(), args.end());
    const int exitCode =
        test::RunProgram("/bin/sh", limited, dir_ / "cli.stdout", dir_ / "cli.stderr");
    const std::string err = test::FileText(dir_ / "cli.stderr");
    EXPECT_EQ(exitCode, 1) << args[0] << ": " << err;
    EXPECT_NE(err.find("out of memory"), std::string::npos) << args[0] << ": " << err;
    EXPECT_FALSE(fs::exists(dir_ / "huge.GD"));
  }
}

#endif

}  // namespace
}  // namespace krelt
