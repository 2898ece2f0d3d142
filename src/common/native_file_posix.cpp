#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "common/native_file.h"

namespace krelt::native {

namespace {

std::error_code WriteAll(int descriptor, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const std::size_t piece = std::min<std::size_t>(bytes.size(), SSIZE_MAX);
    const ssize_t written = write(descriptor, bytes.data(), piece);
    if (written < 0) {
      if (errno == EINTR) continue;
      return {errno, std::generic_category()};
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return {};
}

}  // namespace

std::string ErrorText(const std::error_code& error) { return error.message(); }

std::error_code LastError() { return {errno, std::generic_category()}; }

bool AlreadyExists(const std::error_code& error) { return error.value() == EEXIST; }

std::error_code Inspect(const std::filesystem::path& path, TargetInfo& info) {
  info = {};
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? std::error_code() : LastError();
  }
  info.exists = true;
  info.folder = S_ISDIR(status.st_mode);
  info.special = !info.folder && !S_ISREG(status.st_mode);
  info.attributes = status.st_mode & 07777;
  // No write bit at all counts even for root, who may write anything.
  info.readOnly = (status.st_mode & 0222) == 0 ||
                  (access(path.c_str(), W_OK) != 0 && errno == EACCES);
  return {};
}

std::error_code FollowLinks(const std::filesystem::path& path,
                            std::filesystem::path& resolved) {
  constexpr int kMaxLinks = 40;  // as the kernel allows
  std::filesystem::path current = path;
  for (int link = 0; link <= kMaxLinks; ++link) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(current, error);
    if (status.type() != std::filesystem::file_type::symlink) {
      resolved = current;
      return status.type() == std::filesystem::file_type::not_found ? std::error_code()
                                                                    : error;
    }
    const std::filesystem::path next = std::filesystem::read_symlink(current, error);
    if (error) return error;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

std::error_code TemporaryFile::Create(const std::filesystem::path& path) {
  Discard();
  // 0666 less the umask, as any new file gets; CommitAs may narrow it.
  const int descriptor =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (descriptor < 0) return LastError();
  handle_ = descriptor;
  path_ = path;
  cleanupSlot_ = ListForRemovalOnInterrupt(path_);
  return {};
}

std::error_code TemporaryFile::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(static_cast<int>(handle_), bytes);
}

std::error_code TemporaryFile::CommitAs(const std::filesystem::path& destination,
                                        const TargetInfo& keep) {
  const int descriptor = static_cast<int>(handle_);
  if (keep.exists && fchmod(descriptor, static_cast<mode_t>(keep.attributes)) != 0) {
    return LastError();
  }
  if (fsync(descriptor) != 0) return LastError();
  handle_ = -1;
  if (close(descriptor) != 0) return LastError();
  if (rename(path_.c_str(), destination.c_str()) != 0) return LastError();
  ReleaseFromRemovalOnInterrupt(cleanupSlot_);
  cleanupSlot_ = -1;
  path_.clear();
  return {};
}

void TemporaryFile::Discard() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (!path_.empty()) unlink(path_.c_str());
  ReleaseFromRemovalOnInterrupt(cleanupSlot_);
  cleanupSlot_ = -1;
  path_.clear();
}

std::error_code SpecialFile::Open(const std::filesystem::path& path) {
  Close();
  const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return LastError();
  handle_ = descriptor;
  return {};
}

std::error_code SpecialFile::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(static_cast<int>(handle_), bytes);
}

std::error_code SpecialFile::Close() {
  if (handle_ < 0) return {};
  const int descriptor = static_cast<int>(handle_);
  handle_ = -1;
  return close(descriptor) == 0 ? std::error_code() : LastError();
}

}  // namespace krelt::native
