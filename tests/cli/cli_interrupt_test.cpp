// Ctrl-C during krelt-cli convert: the conversion stops, removes its
// temporary file and leaves the GD file that was there.

#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/picture_writers.h"

extern char** environ;

namespace krelt {
namespace {

namespace fs = std::filesystem;

// A 24-bit picture of side x side pixels that compresses slowly enough for
// the run to be caught while it writes.
std::vector<std::uint8_t> NoisyBmp(std::int32_t side) {
  test::BmpSpec layout;
  layout.width = side;
  layout.height = side;
  layout.pixels.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 3);
  std::uint32_t noise = 99;
  for (std::uint8_t& byte : layout.pixels) {
    noise = noise * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(noise >> 24);
  }
  return test::MakeBmp(layout);
}

bool HasTemporaryFile(const fs::path& folder) {
  for (const std::string& entry : test::FolderEntries(folder)) {
    if (entry.find(".tmp") != std::string::npos) return true;
  }
  return false;
}

TEST(CliInterruptTest, CtrlCWhileWritingLeavesTheFolderAsItWas) {
  const test::TempDir dir;
  test::WriteBytes(dir.path() / "noisy.bmp", NoisyBmp(1500));
  test::WriteBytes(dir.path() / "noisy.GD", std::vector<std::uint8_t>{'o', 'l', 'd'});
  const std::vector<std::string> before = test::FolderEntries(dir.path());

  const std::string program = KRELT_CLI_PATH;
  const std::string picture = (dir.path() / "noisy.bmp").string();
  std::vector<std::string> args = {program, "convert", "-j", "1", "--quiet", picture};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

  // The temporary file shows that the text is being written.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!HasTemporaryFile(dir.path()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_TRUE(HasTemporaryFile(dir.path())) << "no temporary file appeared";
  ASSERT_EQ(kill(pid, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);

  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(test::FolderEntries(dir.path()), before);
  EXPECT_EQ(test::FileText(dir.path() / "noisy.GD"), "old");
}

}  // namespace
}  // namespace krelt

#endif
