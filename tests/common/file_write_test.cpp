// AtomicFileWriter against the ways a write goes wrong: failing system
// calls, read-only and linked targets, interrupts.

#include "common/file_io.h"
#include "common/native_file.h"
#include "common/utf8_path.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace krelt {
namespace {

namespace fs = std::filesystem;

class FileWriteTest : public ::testing::Test {
 protected:
  // Writes text to path through a writer, committing it.
  static Status WriteText(const fs::path& path, std::string_view text) {
    return WriteFileAtomically(path, text);
  }

  std::vector<std::string> Entries() const { return test::FolderEntries(dir_.path()); }

  test::TempDir dir_{"krelt_file_write"};
};

#ifdef _WIN32
std::error_code SystemError(DWORD code) {
  return {static_cast<int>(code), std::system_category()};
}

// The system's text for code, as FormatMessageA gives it, less the final
// full stop and line end.
std::string SystemText(DWORD code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    --length;
  }
  return std::string(text, length);
}
#endif

// Each failure of the system's write call shows its reason, whether it
// happens while pieces are written or when the last one goes out at
// Commit; the old file survives and no temporary file is left.
TEST_F(FileWriteTest, FailedWritesGiveTheSystemsReason) {
  struct Case {
    std::error_code error;
    std::string reason;
  };
#ifdef _WIN32
  const Case cases[] = {
      {SystemError(ERROR_DISK_FULL), SystemText(ERROR_DISK_FULL)},
      {SystemError(ERROR_ACCESS_DENIED), SystemText(ERROR_ACCESS_DENIED)},
      {SystemError(ERROR_WRITE_PROTECT), SystemText(ERROR_WRITE_PROTECT)},
  };
#else
  const Case cases[] = {
      {std::error_code(ENOSPC, std::generic_category()), "No space left on device"},
      {std::error_code(EACCES, std::generic_category()), "Permission denied"},
      {std::error_code(EROFS, std::generic_category()), "Read-only file system"},
  };
#endif
  const fs::path target = dir_ / "x.GD";
  ASSERT_TRUE(WriteText(target, "old").ok());
  const std::string large(300000, 'a');
  for (const Case& c : cases) {
    ASSERT_FALSE(c.reason.empty());
    for (const std::string& text : {large, std::string("small")}) {
      int calls = 0;
      Status written;
      {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.Open().ok());
        // The second piece fails, so a first one really reached the file.
        writer.InjectWriteFault([&](std::span<const std::uint8_t>) {
          return ++calls == (text.size() > 100000 ? 2 : 1) ? c.error : std::error_code();
        });
        written = writer.Write(text);
        if (written.ok()) written = writer.Commit();
        EXPECT_EQ(writer.Commit().message(), written.message()) << "failure repeats";
      }
      EXPECT_EQ(written.kind(), ErrorKind::kIo);
      EXPECT_EQ(written.message(), "can't write '" + PathToUtf8(target) + "': " + c.reason);
      EXPECT_EQ(test::FileText(target), "old") << c.reason;
      EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"}) << c.reason;
    }
  }
}

TEST_F(FileWriteTest, ReadOnlyTargetIsRefusedBeforeAnythingIsWritten) {
  const fs::path target = dir_ / "x.GD";
  ASSERT_TRUE(WriteText(target, "old").ok());
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  AtomicFileWriter writer(target);
  const Status status = writer.Open();
  EXPECT_EQ(status.kind(), ErrorKind::kIo);
  EXPECT_EQ(status.message(), "'" + PathToUtf8(target) + "' is read-only");
  EXPECT_TRUE(writer.temporaryPath().empty());
  EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"});
  EXPECT_FALSE(writer.Write(std::string_view("new")).ok());
  EXPECT_FALSE(writer.Commit().ok());
  EXPECT_EQ(test::FileText(target), "old");
  fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
}

// Something else takes the target's name while the file is written: the
// rename fails, says why, and the temporary file goes.
TEST_F(FileWriteTest, FailedRenameRemovesTheTemporaryFile) {
  const fs::path target = dir_ / "x.GD";
  AtomicFileWriter writer(target);
  ASSERT_TRUE(writer.Open().ok());
  ASSERT_TRUE(writer.Write(std::string_view("new")).ok());
  fs::create_directory(target);
  const Status status = writer.Commit();
  EXPECT_EQ(status.kind(), ErrorKind::kIo);
  EXPECT_EQ(status.message().rfind("can't replace '" + PathToUtf8(target) + "': ", 0), 0u)
      << status.message();
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"});
}

// Two writers to one target get different, unguessable temporary names in
// the target's folder; each commit replaces the file whole.
TEST_F(FileWriteTest, TemporaryNamesAreFreshForEveryWriter) {
  const fs::path target = dir_ / "x.GD";
  AtomicFileWriter first(target);
  AtomicFileWriter second(target);
  ASSERT_TRUE(first.Open().ok());
  ASSERT_TRUE(second.Open().ok());
  EXPECT_NE(first.temporaryPath(), second.temporaryPath());
  for (const AtomicFileWriter* writer : {&first, &second}) {
    const std::string name = PathToUtf8(writer->temporaryPath().filename());
    EXPECT_EQ(writer->temporaryPath().parent_path(), dir_.path());
    ASSERT_EQ(name.size(), std::string("x.GD.tmp").size() + 16) << name;
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 8), std::string::npos) << name;
  }
  ASSERT_TRUE(first.Write(std::string_view("first")).ok());
  ASSERT_TRUE(second.Write(std::string_view("second")).ok());
  ASSERT_TRUE(second.Commit().ok());
  ASSERT_TRUE(first.Commit().ok());
  EXPECT_EQ(test::FileText(target), "first");
  EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"});
}

// What the interrupt handlers do, called directly: every open temporary
// file goes, and the writers still clean up after themselves.
TEST_F(FileWriteTest, InterruptCleanupRemovesOpenTemporaryFiles) {
  const fs::path target = dir_ / "x.GD";
  ASSERT_TRUE(WriteText(target, "old").ok());
  {
    AtomicFileWriter writer(target);
    AtomicFileWriter other(dir_ / "y.GD");
    ASSERT_TRUE(writer.Open().ok());
    ASSERT_TRUE(other.Open().ok());
    ASSERT_TRUE(writer.Write(std::string(200000, 'x')).ok());
    ASSERT_EQ(Entries().size(), 3u);
    native::RemoveOpenTemporaryFiles();
#ifndef _WIN32  // Windows removes a file still open once it is closed
    EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"});
#endif
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"});
  EXPECT_EQ(test::FileText(target), "old");
}

#ifndef _WIN32

TEST_F(FileWriteTest, ReplacingKeepsThePermissionBits) {
  const fs::path target = dir_ / "x.GD";
  for (const fs::perms perms : {fs::perms(0640), fs::perms(0600), fs::perms(0755),
                                fs::perms(0604)}) {
    ASSERT_TRUE(WriteText(target, "old").ok());
    fs::permissions(target, perms);
    ASSERT_TRUE(WriteText(target, "new").ok());
    EXPECT_EQ(fs::status(target).permissions(), perms) << static_cast<int>(perms);
    EXPECT_EQ(test::FileText(target), "new");
  }
}

// A link, a link to a link, a relative link and a link to a file not yet
// there: the file at the end is written, the links stay links and no
// temporary file is left in either folder.
TEST_F(FileWriteTest, SymbolicLinksAreFollowed) {
  const fs::path real = dir_ / "real";
  fs::create_directory(real);
  struct Case {
    const char* name;
    fs::path link;
    fs::path pointsTo;  // what the link holds
    fs::path file;      // the file written in the end
  };
  const Case cases[] = {
      {"absolute", dir_ / "a.GD", real / "a.GD", real / "a.GD"},
      {"relative", dir_ / "b.GD", fs::path("real") / "b.GD", real / "b.GD"},
      {"dangling", dir_ / "c.GD", real / "c.GD", real / "c.GD"},
      {"chain", dir_ / "d.GD", dir_ / "a.GD", real / "a.GD"},
  };
  for (const Case& c : cases) {
    if (std::string(c.name) != "dangling" && !fs::exists(c.file)) {
      ASSERT_TRUE(WriteText(c.file, "old").ok());
    }
    fs::create_symlink(c.pointsTo, c.link);
    const Status status = WriteText(c.link, c.name);
    ASSERT_TRUE(status.ok()) << c.name << ": " << status.message();
    EXPECT_TRUE(fs::is_symlink(c.link)) << c.name;
    EXPECT_EQ(fs::read_symlink(c.link), c.pointsTo) << c.name;
    EXPECT_EQ(test::FileText(c.file), c.name);
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.GD", "b.GD", "c.GD", "d.GD", "real"}));
  EXPECT_EQ(test::FolderEntries(real), (std::vector<std::string>{"a.GD", "b.GD", "c.GD"}));
}

TEST_F(FileWriteTest, SymbolicLinkLoopIsAnError) {
  fs::create_symlink(dir_ / "b.GD", dir_ / "a.GD");
  fs::create_symlink(dir_ / "a.GD", dir_ / "b.GD");
  const Status status = WriteText(dir_ / "a.GD", "x");
  EXPECT_EQ(status.kind(), ErrorKind::kIo);
  EXPECT_NE(status.message().find("Too many levels of symbolic links"), std::string::npos)
      << status.message();
}

// Starts the slow writer on target with the interrupt signals at their
// defaults; its process id, or -1.
pid_t StartSlowWriter(const fs::path& target) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const std::string program = KRELT_SLOW_WRITER_PATH;
  const std::string targetText = target.string();
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(targetText.c_str()),
                  nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  return pid;
}

// Size of the one temporary file in dir, or 0 while there is none.
std::uintmax_t TemporaryFileSize(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::error_code ignored;
    if (entry.path().extension() != ".GD") return fs::file_size(entry.path(), ignored);
  }
  return 0;
}

// A writer stopped by a signal in the middle of a large write leaves no
// temporary file, ends as that signal ends a process, and the old file is
// untouched.
TEST_F(FileWriteTest, SignalDuringAWriteRemovesTheTemporaryFile) {
  const fs::path target = dir_ / "x.GD";
  ASSERT_TRUE(WriteText(target, "old").ok());
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t pid = StartSlowWriter(target);
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (TemporaryFileSize(dir_.path()) < (std::uintmax_t{4} << 20) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(TemporaryFileSize(dir_.path()), std::uintmax_t{4} << 20) << signal;
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status)) << signal;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(Entries(), std::vector<std::string>{"x.GD"}) << signal;
    EXPECT_EQ(test::FileText(target), "old");
  }
}

#endif

}  // namespace
}  // namespace krelt
