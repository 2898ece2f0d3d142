#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/native_file.h"
#include "common/utf8_path.h"

namespace krelt::native {
namespace {

// Attributes a replacement keeps; the read-only one refuses replacing.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool NotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Renames the open file over destination through its handle, so the name
// it had can't be swapped for another file meanwhile.
bool RenameByHandle(HANDLE file, const std::filesystem::path& destination) {
  const std::wstring& name = destination.native();
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), name.size() * sizeof(wchar_t));
  return SetFileInformationByHandle(file, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != 0;
}

std::error_code WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr)) {
      return {static_cast<int>(GetLastError()), std::system_category()};
    }
    bytes = bytes.subspan(written);
  }
  return {};
}

}  // namespace

std::string ErrorText(const std::error_code& error) {
  if (error.category() != std::system_category()) return error.message();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&text), 0,
      nullptr);
  if (length == 0) return "system error " + std::to_string(error.value());
  std::wstring message(text, length);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return PathToUtf8(std::filesystem::path(std::move(message)));
}

std::error_code LastError() {
  return {static_cast<int>(GetLastError()), std::system_category()};
}

bool AlreadyExists(const std::error_code& error) {
  return error.value() == ERROR_FILE_EXISTS || error.value() == ERROR_ALREADY_EXISTS;
}

// Device names are not told apart from files here: special stays false.
std::error_code Inspect(const std::filesystem::path& path, TargetInfo& info) {
  info = {};
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return NotFound(GetLastError()) ? std::error_code() : LastError();
  }
  info.exists = true;
  info.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.attributes = attributes & kKeptAttributes;
  return {};
}

// Links are left to the system: renaming over a symbolic link replaces the
// link, which Windows users rarely have in place of a GD file.
std::error_code FollowLinks(const std::filesystem::path& path,
                            std::filesystem::path& resolved) {
  resolved = path;
  return {};
}

std::error_code TemporaryFile::Create(const std::filesystem::path& path) {
  Discard();
  // Delete sharing lets the console handler remove the file while it is
  // still being written.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  path_ = path;
  cleanupSlot_ = ListForRemovalOnInterrupt(path_);
  return {};
}

std::error_code TemporaryFile::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(Handle(handle_), bytes);
}

std::error_code TemporaryFile::CommitAs(const std::filesystem::path& destination,
                                        const TargetInfo& keep) {
  const HANDLE file = Handle(handle_);
  if (keep.exists) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = keep.attributes != 0 ? keep.attributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) {
      return LastError();
    }
  }
  if (!FlushFileBuffers(file) || !RenameByHandle(file, destination)) return LastError();
  handle_ = -1;
  const bool closed = CloseHandle(file) != 0;
  ReleaseFromRemovalOnInterrupt(cleanupSlot_);
  cleanupSlot_ = -1;
  path_.clear();
  return closed ? std::error_code() : LastError();
}

// Marking the open file for deletion removes it whatever its name is by
// now; a file no longer open is deleted by name.
void TemporaryFile::Discard() {
  if (handle_ != -1) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool marked =
        SetFileInformationByHandle(Handle(handle_), FileDispositionInfo, &dispose,
                                   sizeof dispose) != 0;
    CloseHandle(Handle(handle_));
    handle_ = -1;
    if (marked) path_.clear();
  }
  if (!path_.empty()) DeleteFileW(path_.c_str());
  ReleaseFromRemovalOnInterrupt(cleanupSlot_);
  cleanupSlot_ = -1;
  path_.clear();
}

std::error_code SpecialFile::Open(const std::filesystem::path& path) {
  Close();
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return {};
}

std::error_code SpecialFile::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(Handle(handle_), bytes);
}

std::error_code SpecialFile::Close() {
  if (handle_ == -1) return {};
  const HANDLE file = Handle(handle_);
  handle_ = -1;
  return CloseHandle(file) ? std::error_code() : LastError();
}

}  // namespace krelt::native
