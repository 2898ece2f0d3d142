#pragma once

// The operating system's file calls behind AtomicFileWriter, one
// implementation per platform (native_file_posix.cpp, native_file_windows.cpp).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

namespace krelt::native {

// The system's own words for an error, such as "No space left on device".
std::string ErrorText(const std::error_code& error);

// The error the last failed system call left (errno or GetLastError).
std::error_code LastError();

// Whether error says that a file of that name is there already.
bool AlreadyExists(const std::error_code& error);

// What a file about to be replaced is, and what its replacement keeps.
struct TargetInfo {
  bool exists = false;
  bool folder = false;
  bool readOnly = false;        // no write permission for this process
  bool special = false;         // a device, FIFO or socket, written in place
  std::uint32_t attributes = 0;  // permission bits or file attributes kept
};

// Looks at the file at path; a missing file gives exists = false and no
// error.
std::error_code Inspect(const std::filesystem::path& path, TargetInfo& info);

// The file that path names once every symbolic link is followed, which may
// not exist yet. Other paths come back unchanged.
std::error_code FollowLinks(const std::filesystem::path& path,
                            std::filesystem::path& resolved);

// A file created exclusively under a new name, which ends either renamed
// over its destination by CommitAs or removed.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() { Discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates path; fails when anything, even a dangling link, is there.
  std::error_code Create(const std::filesystem::path& path);
  // Writes all of bytes.
  std::error_code Write(std::span<const std::uint8_t> bytes);
  // Gives the file keep's attributes, puts its data on disk and renames it
  // over destination in one step. On failure the file stays until Discard.
  std::error_code CommitAs(const std::filesystem::path& destination,
                           const TargetInfo& keep);
  // Closes and removes the file, if one is open or uncommitted.
  void Discard();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;  // empty when there is no file
  std::intptr_t handle_ = -1;   // descriptor or HANDLE; -1 when closed
  int cleanupSlot_ = -1;        // registration for removal on interrupts
};

// An existing file that is not a regular one, such as a device or a FIFO,
// opened for writing in place: renaming a file over it would destroy it.
class SpecialFile {
 public:
  SpecialFile() = default;
  ~SpecialFile() { Close(); }
  SpecialFile(const SpecialFile&) = delete;
  SpecialFile& operator=(const SpecialFile&) = delete;

  std::error_code Open(const std::filesystem::path& path);
  // Writes all of bytes.
  std::error_code Write(std::span<const std::uint8_t> bytes);
  std::error_code Close();

 private:
  std::intptr_t handle_ = -1;  // descriptor or HANDLE; -1 when closed
};

// Removes the files of every TemporaryFile not yet committed or discarded.
// The interrupt handlers (SIGINT, SIGTERM, SIGHUP; console Ctrl-C, Ctrl-Break
// and close on Windows) call it before the process ends; it makes only
// calls that are safe there.
void RemoveOpenTemporaryFiles();

// Lists path for RemoveOpenTemporaryFiles, installing the interrupt
// handlers on first use; returns the slot to release, or -1 when the path
// can't be listed (too long, or too many files open at once).
int ListForRemovalOnInterrupt(const std::filesystem::path& path);
void ReleaseFromRemovalOnInterrupt(int slot);

}  // namespace krelt::native
