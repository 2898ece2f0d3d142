#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "common/utf8_path.h"
#include "support/files.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;

using test::kSamples;
using test::kToolPictures;
using test::Lines;

// Every sample and every picture from the independent tools.
std::vector<fs::path> AllPictures() {
  std::vector<fs::path> pictures;
  for (const fs::path& folder : {kSamples, kToolPictures}) {
    for (const std::string& name : test::FolderEntries(folder)) {
      const std::string extension = PathToUtf8(fs::path(name).extension());
      if (extension == ".bmp" || extension == ".pcx" || extension == ".png" ||
          extension == ".xsp") {
        pictures.push_back(folder / name);
      }
    }
  }
  return pictures;
}

class CliBatchTest : public ::testing::Test {
 protected:
  test::CliRun Convert(std::vector<std::string> args) {
    args.insert(args.begin(), "convert");
    return test::RunCli(args, dir_.path());
  }

  fs::path Folder(const std::string& name) {
    fs::create_directories(dir_ / name);
    return dir_ / name;
  }

  test::TempDir dir_{"krelt_cli_batch"};
};

// Pictures the readers refuse fail the same way for both thread counts.
TEST_F(CliBatchTest, SameFilesForOneAndEightThreads) {
  const std::vector<fs::path> pictures = AllPictures();
  ASSERT_GE(pictures.size(), 17u);
  for (const bool flag1555 : {false, true}) {
    std::vector<std::string> folders;
    std::vector<test::CliRun> runs;
    for (const char* jobs : {"1", "8"}) {
      const std::string folder = std::string(jobs) + (flag1555 ? "-1555" : "");
      std::vector<std::string> args = {"--quiet", "-j", jobs, "--output-dir",
                                       PathToUtf8(Folder(folder))};
      if (flag1555) args.push_back("--1555");
      for (const fs::path& picture : pictures) args.push_back(PathToUtf8(picture));
      runs.push_back(Convert(args));
      folders.push_back(folder);
    }
    EXPECT_EQ(runs[0].exitCode, runs[1].exitCode);
    EXPECT_EQ(runs[0].err, runs[1].err);
    const std::vector<std::string> names = test::FolderEntries(dir_ / folders[0]);
    // Every stderr line but warnings and the summary names a failed picture.
    const std::vector<std::string> errors = Lines(runs[0].err);
    const auto failed = static_cast<std::size_t>(std::count_if(
        errors.begin(), errors.end() - 1,
        [](const std::string& line) { return line.find(": warning: ") == std::string::npos; }));
    EXPECT_EQ(names.size() + failed, pictures.size()) << runs[0].err;
    EXPECT_EQ(test::FolderEntries(dir_ / folders[1]), names);
    for (const std::string& name : names) {
      EXPECT_EQ(test::FileText(dir_ / folders[1] / name), test::FileText(dir_ / folders[0] / name))
          << name << (flag1555 ? " --1555" : "");
    }
  }
}

// A damaged picture among good ones: the others are written, the output
// keeps the order given, the failure has its line and the summary counts.
TEST_F(CliBatchTest, OneFailingPictureAmongGoodOnes) {
  test::WriteBytes(dir_ / "broken.pcx", std::vector<std::uint8_t>(40, 0x0A));
  const std::vector<std::string> names = {"badge.pcx", "spin.xsp", "broken.pcx", "logo.bmp",
                                          "photo24.pcx"};
  std::vector<std::string> args = {"--quiet", "-j", "3", "--output-dir",
                                   PathToUtf8(Folder("out"))};
  for (const std::string& name : names) {
    args.push_back(PathToUtf8(name == "broken.pcx" ? dir_ / name : kSamples / name));
  }
  const test::CliRun run = Convert(args);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{PathToUtf8(dir_ / "out" / "badge.GD"),
                                      PathToUtf8(dir_ / "out" / "spin.GD"),
                                      PathToUtf8(dir_ / "out" / "logo.GD"),
                                      PathToUtf8(dir_ / "out" / "photo24.GD")}));
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 2u) << run.err;
  EXPECT_EQ(errors[0].rfind("krelt-cli convert: broken.pcx: ", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1], "4 converted, 1 failed");
  EXPECT_EQ(test::FolderEntries(dir_ / "out"),
            (std::vector<std::string>{"badge.GD", "logo.GD", "photo24.GD", "spin.GD"}));
}

TEST_F(CliBatchTest, ReportsFollowTheOrderGiven) {
  // The big picture first: it finishes last but is printed first.
  const std::vector<std::string> names = {"photo24.pcx", "badge.pcx", "spin.xsp", "logo.bmp"};
  std::vector<std::string> args = {"-j", "4", "--output-dir", PathToUtf8(Folder("out"))};
  for (const std::string& name : names) args.push_back(PathToUtf8(kSamples / name));
  const test::CliRun run = Convert(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> written;
  for (const std::string& line : Lines(run.out)) {
    if (line.find('\t') == std::string::npos) written.push_back(line);
  }
  EXPECT_EQ(written, (std::vector<std::string>{PathToUtf8(dir_ / "out" / "photo24.GD"),
                                               PathToUtf8(dir_ / "out" / "badge.GD"),
                                               PathToUtf8(dir_ / "out" / "spin.GD"),
                                               PathToUtf8(dir_ / "out" / "logo.GD")}));
  EXPECT_EQ(run.err, "4 converted, 0 failed\n");
}

// Two pictures whose GD files share a name: the later one's file is left,
// as when they are converted one after the other.
TEST_F(CliBatchTest, PicturesOfTheSameNameLeaveTheLastOnesFile) {
  fs::copy_file(kSamples / "badge.pcx", dir_ / "pic.pcx");
  fs::copy_file(kSamples / "logo.bmp", dir_ / "pic.bmp");
  const std::string pcx = PathToUtf8(dir_ / "pic.pcx");
  const std::string bmp = PathToUtf8(dir_ / "pic.bmp");
  const fs::path out = Folder("out");
  ASSERT_EQ(Convert({"--quiet", "--output-dir", PathToUtf8(Folder("alone")), bmp}).exitCode, 0);
  const std::string expected = test::FileText(dir_ / "alone" / "pic.GD");
  for (int run = 0; run < 5; ++run) {
    ASSERT_EQ(Convert({"--quiet", "-j", "4", "--output-dir", PathToUtf8(out), pcx, bmp,
                       PathToUtf8(kSamples / "photo24.pcx")})
                  .exitCode,
              0);
    EXPECT_EQ(test::FileText(out / "pic.GD"), expected) << run;
  }
}

TEST_F(CliBatchTest, CheckListsWhatIsMissingOrDiffersAndWritesNothing) {
  const fs::path out = Folder("out");
  std::vector<std::string> pictures;
  for (const char* name : {"badge.pcx", "spin.xsp", "logo.bmp"}) {
    pictures.push_back(PathToUtf8(kSamples / name));
  }
  std::vector<std::string> args = {"--quiet", "--output-dir", PathToUtf8(out)};
  args.insert(args.end(), pictures.begin(), pictures.end());
  ASSERT_EQ(Convert(args).exitCode, 0);

  args.insert(args.begin(), "--check");
  const test::CliRun same = Convert(args);
  EXPECT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(same.err, "3 up to date, 0 out of date, 0 failed\n");

  const std::string spin = test::FileText(out / "spin.GD");
  test::WriteBytes(out / "spin.GD", std::vector<std::uint8_t>(spin.begin(), spin.end() - 1));
  fs::remove(out / "logo.GD");
  const std::vector<std::string> before = test::FolderEntries(out);
  const test::CliRun stale = Convert(args);
  EXPECT_EQ(stale.exitCode, 1);
  EXPECT_EQ(Lines(stale.out), (std::vector<std::string>{PathToUtf8(out / "spin.GD") + ": differs",
                                                        PathToUtf8(out / "logo.GD") + ": missing"}));
  EXPECT_EQ(stale.err, "1 up to date, 2 out of date, 0 failed\n");
  EXPECT_EQ(test::FolderEntries(out), before);
  EXPECT_EQ(test::FileText(out / "spin.GD").size(), spin.size() - 1);

  // A CR LF file checked as LF differs; a picture that fails is a failure.
  const test::CliRun lf = Convert({"--check", "--lf", "--output-dir", PathToUtf8(out),
                                   pictures[0], PathToUtf8(dir_ / "absent.pcx")});
  EXPECT_EQ(lf.exitCode, 1);
  EXPECT_EQ(lf.out, PathToUtf8(out / "badge.GD") + ": differs\n");
  EXPECT_NE(lf.err.find("absent.pcx"), std::string::npos) << lf.err;
  EXPECT_NE(lf.err.find("0 up to date, 1 out of date, 1 failed"), std::string::npos) << lf.err;
}

TEST_F(CliBatchTest, NumbersMustBeDecimal) {
  const std::string picture = PathToUtf8(kSamples / "spin.xsp");
  const std::vector<std::string> bad = {"abc", "0x10", "1e2", " 3", "3 ", "+3", "",
                                        "4294967296", "2147483648", "-2147483649",
                                        "99999999999999999999"};
  for (const char* option : {"--start", "--end", "-j"}) {
    for (const std::string& value : bad) {
      const test::CliRun run = Convert({"--output-dir", PathToUtf8(dir_.path()), option, value, picture});
      EXPECT_EQ(run.exitCode, 2) << option << " '" << value << "'";
      EXPECT_NE(run.err.find("krelt-cli convert: "), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("'" + value + "'"), std::string::npos) << run.err;
    }
  }
  for (const char* jobs : {"0", "-1"}) {
    EXPECT_EQ(Convert({"-j", jobs, picture}).exitCode, 2) << jobs;
  }
  EXPECT_EQ(test::FolderEntries(dir_.path()),
            (std::vector<std::string>{"cli.stderr", "cli.stdout"}));
  // Decimal numbers pass, and verify reads its frame options the same way.
  const test::CliRun good = Convert({"--quiet", "--output-dir", PathToUtf8(dir_.path()),
                                     "--start", "1", "--end", "002", "-j", "2", picture});
  EXPECT_EQ(good.exitCode, 0) << good.err;
  EXPECT_EQ(good.out, PathToUtf8(dir_ / "spin1.GD") + "\n");
  const test::CliRun verify = test::RunCli(
      {"verify", "--against", picture, "--start", "0x1", PathToUtf8(dir_ / "spin1.GD")},
      dir_.path());
  EXPECT_EQ(verify.exitCode, 2);
  EXPECT_NE(verify.err.find("'0x1'"), std::string::npos) << verify.err;
}

// Runs krelt-cli in another working folder, for relative names.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~WorkingFolder() { fs::current_path(previous_); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  fs::path previous_;
};

TEST_F(CliBatchTest, DoubleDashEndsTheOptions) {
  fs::copy_file(kSamples / "badge.pcx", dir_ / "-badge.pcx");
  const WorkingFolder inTestFolder(dir_.path());
  const test::CliRun withoutDash = Convert({"--quiet", "-badge.pcx"});
  EXPECT_EQ(withoutDash.exitCode, 2);
  const test::CliRun run = Convert({"--quiet", "--", "-badge.pcx"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::FileText(dir_ / "-badge.GD").rfind("#include \"type.h\"", 0), 0u);

  test::WriteBytes(dir_ / "--help", std::vector<std::uint8_t>{'h', 'i'});
  const test::CliRun compressed = test::RunCli({"compress", "--", "--help", "-out"}, dir_.path());
  EXPECT_EQ(compressed.exitCode, 0) << compressed.err;
  EXPECT_TRUE(fs::exists(dir_ / "-out"));
}

TEST_F(CliBatchTest, HelpOfEveryCommand) {
  const test::CliRun help = test::RunCli({"--help"}, dir_.path());
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"compress", "decompress", "convert", "verify"}) {
    EXPECT_NE(help.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    const test::CliRun own = test::RunCli({command, "--help"}, dir_.path());
    EXPECT_EQ(own.exitCode, 0) << command;
    EXPECT_EQ(own.out.rfind(std::string("Usage: krelt-cli ") + command, 0), 0u) << own.out;
    EXPECT_EQ(own.err, "");
  }
  const test::CliRun convertHelp = test::RunCli({"convert", "--help"}, dir_.path());
  for (const char* option : {"-j, --jobs N", "--check", "--quiet", "--  "}) {
    EXPECT_NE(convertHelp.out.find(option), std::string::npos) << option;
  }
  const test::CliRun unknown = test::RunCli({"bogus"}, dir_.path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown command 'bogus'"), std::string::npos);
}

}  // namespace
}  // namespace krelt
