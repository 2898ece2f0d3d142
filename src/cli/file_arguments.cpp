#include "cli/file_arguments.h"

#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

#include "common/file_io.h"
#include "common/utf8_path.h"

namespace krelt::cli {
namespace {

constexpr std::string_view kStandardStream = "-";

}  // namespace

Status ReadInputFile(const std::string& name, std::vector<std::uint8_t>& bytes) {
  if (name == kStandardStream) return ReadStandardInput(bytes);
  return ReadFileBytes(PathFromUtf8(name), bytes);
}

Status WriteOutputFile(const std::string& name, std::span<const std::uint8_t> bytes) {
  if (name == kStandardStream) return WriteStandardOutput(bytes);
  return WriteFileAtomically(PathFromUtf8(name), bytes);
}

Status WriteOutputFileFrom(const std::string& name, const OutputProducer& produce) {
  if (name == kStandardStream || IsWrittenInPlace(PathFromUtf8(name))) {
    std::vector<std::uint8_t> bytes;
    const Status produced = produce([&bytes](std::span<const std::uint8_t> piece) {
      bytes.insert(bytes.end(), piece.begin(), piece.end());
    });
    if (!produced.ok()) return produced;
    return WriteOutputFile(name, bytes);
  }
  AtomicFileWriter writer(PathFromUtf8(name));
  const Status opened = writer.Open();
  // A failed write is kept by the writer and reported by Commit.
  const Status produced = produce([&](std::span<const std::uint8_t> piece) {
    if (opened.ok()) static_cast<void>(writer.Write(piece));
  });
  if (!produced.ok()) return produced;
  if (!opened.ok()) return opened;
  return writer.Commit();
}

Status CheckNotSameFile(const std::string& inName, const std::string& outName) {
  if (inName == kStandardStream || outName == kStandardStream) return Status();
  const std::filesystem::path in = PathFromUtf8(inName);
  const std::filesystem::path out = PathFromUtf8(outName);
  std::error_code error;  // a missing OUT is another file
  if (!std::filesystem::equivalent(in, out, error)) return Status();
  return Status::Error(ErrorKind::kUsage, "can't write " + QuotedPath(out) + " over its input " +
                                              QuotedPath(in) + ": they are the same file");
}

}  // namespace krelt::cli
