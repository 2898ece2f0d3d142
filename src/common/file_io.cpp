#include "common/file_io.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#include "common/utf8_path.h"

namespace krelt {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted(1, '\'');
  quoted += PathToUtf8(path);
  quoted += '\'';
  return quoted;
}

// A name in target's folder that no file has yet: target's name with a
// random suffix, so concurrent writers to one folder don't collide. Empty
// when every try is taken.
std::filesystem::path FreeTemporaryPath(const std::filesystem::path& target) {
  static std::atomic<std::uint32_t> counter{0};
  std::random_device seed;
  std::mt19937_64 random(seed() ^ (std::uint64_t{counter++} << 32));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = target;
    candidate += ".tmp" + std::to_string(random() % 1000000000);
    std::error_code ignored;  // a failed look-up shows again when opening
    if (!std::filesystem::exists(candidate, ignored)) return candidate;
  }
  return {};
}

Status TooLarge(const std::filesystem::path& path) {
  return Status::Error(ErrorKind::kIo, "can't read " + Quoted(path) +
                       ": the file is larger than 1 GiB");
}

}  // namespace

Status ReadFileBytes(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return Status::Error(ErrorKind::kNotFound, "can't open " + Quoted(path) + ": no such file");
  }
  if (std::filesystem::is_directory(status)) {
    return Status::Error(ErrorKind::kIo, "can't read " + Quoted(path) + ": it is a folder");
  }
  std::uintmax_t announced = 0;
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxReadFileSize) return TooLarge(path);
    if (!error) announced = size;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error(ErrorKind::kIo, "can't open " + Quoted(path));

  // Read the size the file announces and one byte more, which shows the end;
  // then on in pieces, as the file may have grown and non-regular files
  // announce no size. At most one byte beyond the limit is read.
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  std::size_t wanted = static_cast<std::size_t>(announced) + 1;
  while (in) {
    const std::size_t start = bytes.size();
    bytes.resize(start + wanted);
    in.read(reinterpret_cast<char*>(bytes.data() + start),
            static_cast<std::streamsize>(wanted));
    bytes.resize(start + static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxReadFileSize) {
      bytes = {};
      return TooLarge(path);
    }
    wanted = std::min(kPiece, static_cast<std::size_t>(kMaxReadFileSize + 1 -
                                                       bytes.size()));
  }
  if (in.bad() || !in.eof()) {
    bytes.clear();
    return Status::Error(ErrorKind::kIo, "read error in " + Quoted(path));
  }
  return {};
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target)
    : target_(std::move(target)) {}

AtomicFileWriter::~AtomicFileWriter() { RemoveTemporary(); }

void AtomicFileWriter::RemoveTemporary() {
  if (out_.is_open()) out_.close();
  if (temporary_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
  temporary_.clear();
}

Status AtomicFileWriter::Open() {
  temporary_ = FreeTemporaryPath(target_);
  if (temporary_.empty()) {
    return Status::Error(ErrorKind::kIo,
                         "can't find a free temporary name next to " +
                             Quoted(target_));
  }
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    temporary_.clear();
    return Status::Error(ErrorKind::kIo, "can't write " + Quoted(target_) +
                                             ": can't create a file in its folder");
  }
  return {};
}

Status AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  out_.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (out_.fail()) {
    return Status::Error(ErrorKind::kIo, "write error on " + Quoted(target_));
  }
  return {};
}

Status AtomicFileWriter::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                         text.size()));
}

Status AtomicFileWriter::Commit() {
  out_.flush();
  out_.close();
  if (out_.fail()) {
    return Status::Error(ErrorKind::kIo, "write error on " + Quoted(target_));
  }
  std::error_code error;
  std::filesystem::rename(temporary_, target_, error);
  if (error) {
    return Status::Error(ErrorKind::kIo, "can't replace " + Quoted(target_) +
                                             ": " + error.message());
  }
  temporary_.clear();
  return {};
}

Status WriteFileAtomically(const std::filesystem::path& target,
                           std::span<const std::uint8_t> bytes) {
  AtomicFileWriter writer(target);
  if (Status status = writer.Open(); !status.ok()) return status;
  if (Status status = writer.Write(bytes); !status.ok()) return status;
  return writer.Commit();
}

Status WriteFileAtomically(const std::filesystem::path& target,
                           std::string_view text) {
  return WriteFileAtomically(
      target, std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                        text.size()));
}

}  // namespace krelt
