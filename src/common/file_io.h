#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace krelt {

// Largest file ReadFileBytes accepts (1 GiB).
inline constexpr std::uintmax_t kMaxReadFileSize = std::uintmax_t{1} << 30;

// Reads the whole file into bytes. Folders, unreadable files and files over
// kMaxReadFileSize give an error naming the path; bytes is then empty.
Status ReadFileBytes(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes);

// Writes a file piece by piece into a temporary file in target's folder;
// Commit renames it over target. Until then target is left as it was, and a
// writer destroyed without a successful Commit removes its temporary file.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file; call once before Write.
  Status Open();
  Status Write(std::span<const std::uint8_t> bytes);
  Status Write(std::string_view text);
  Status Commit();

 private:
  void RemoveTemporary();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::ofstream out_;
};

// Writes bytes to a temporary file in target's folder, then renames it over
// target. On any failure the temporary file is removed and target is left
// as it was (absent or with its old content).
Status WriteFileAtomically(const std::filesystem::path& target,
                           std::span<const std::uint8_t> bytes);
Status WriteFileAtomically(const std::filesystem::path& target,
                           std::string_view text);

}  // namespace krelt
