#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/status.h"

namespace krelt {

// Largest file ReadFileBytes accepts (1 GiB).
inline constexpr std::uintmax_t kMaxReadFileSize = std::uintmax_t{1} << 30;

// 'path' for messages, in UTF-8 with unprintable characters escaped.
std::string QuotedPath(const std::filesystem::path& path);

// Reads the whole file into bytes. Folders, unreadable files and files over
// kMaxReadFileSize give an error naming the path; bytes is then empty.
Status ReadFileBytes(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes);

// Writes a file piece by piece into a temporary file in target's folder;
// Commit renames it over target. Until then target is left as it was, and a
// writer destroyed without a successful Commit removes its temporary file.
//
// The temporary file is created exclusively under an unpredictable name. A
// SIGINT, SIGTERM or SIGHUP (Ctrl-C, Ctrl-Break or closing the console on
// Windows) while it is open removes it before the process ends. A target
// that is a symbolic link has the file it names replaced and stays a link;
// the replacement keeps the old file's permission bits (attributes on
// Windows). A read-only target is refused by Open, before anything is
// written. A target that exists but is no regular file (a device, a FIFO,
// a socket) is written in place instead, as renaming would destroy it; it
// gets the bytes written before a failure. Every failure message names
// target and the system's reason.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file; call once before Write.
  Status Open();
  // After a failed Write, later Writes and Commit give the same failure.
  Status Write(std::span<const std::uint8_t> bytes);
  Status Write(std::string_view text);
  Status Commit();

  // The temporary file while one is open, else empty.
  const std::filesystem::path& temporaryPath() const;

  // What Commit does, known once Open succeeded: create the destination,
  // replace it, or finish writing into it in place.
  enum class Outcome { kCreates, kReplaces, kWritesInPlace };
  Outcome outcome() const;
  // The file Commit creates or replaces: target with its links followed.
  const std::filesystem::path& destination() const;

  // Stands in for the system's write call in tests: it sees every piece
  // before it goes to the file, and an error it returns is handled as if
  // the system had refused the write.
  using WriteFault = std::function<std::error_code(std::span<const std::uint8_t>)>;
  void InjectWriteFault(WriteFault fault);

 private:
  struct State;

  Status Fail(const std::string& what, const std::error_code& error);
  Status FlushBuffer();
  Status WriteThrough(std::span<const std::uint8_t> bytes);

  std::filesystem::path target_;
  std::unique_ptr<State> state_;
};

// Writes bytes to a temporary file in target's folder, then renames it over
// target. On any failure the temporary file is removed and target is left
// as it was (absent or with its old content).
Status WriteFileAtomically(const std::filesystem::path& target,
                           std::span<const std::uint8_t> bytes);
Status WriteFileAtomically(const std::filesystem::path& target,
                           std::string_view text);

// Whether an AtomicFileWriter for target would write into it in place (a
// device, a FIFO, a socket) rather than through a temporary file.
bool IsWrittenInPlace(const std::filesystem::path& target);

// One file of a group written together: where it goes and its bytes.
struct FileToWrite {
  std::filesystem::path target;
  std::span<const std::uint8_t> bytes;
};

// Writes every file all or none: each to a temporary file first, then,
// once all are written, each renamed into place. When any step fails, the
// files this call created are removed and those it replaced are put back
// from links (or copies) made beforehand. Devices and FIFOs among the
// targets are written in place and can't be taken back.
Status WriteFilesAtomically(std::span<const FileToWrite> files);

// Standard input read to its end, at most kMaxReadFileSize bytes.
Status ReadStandardInput(std::vector<std::uint8_t>& bytes);
// Writes bytes to standard output and flushes it.
Status WriteStandardOutput(std::span<const std::uint8_t> bytes);

}  // namespace krelt
