#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "common/file_io.h"
#include "common/status.h"
#include "common/utf8_path.h"
#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"

namespace krelt::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Transform = Status (*)(std::span<const std::uint8_t> in, Bytes& out);

Status CompressBytes(std::span<const std::uint8_t> in, Bytes& out) {
  TfpEncoder encoder;
  if (!encoder.Compress(in, out)) {
    return Status::Error(ErrorKind::kTooLarge, "can't compress " + std::to_string(in.size()) +
                         " bytes: too large for one stream or out of memory");
  }
  return {};
}

Status DecompressBytes(std::span<const std::uint8_t> in, Bytes& out) {
  const Status status = TfpDecoder::Decode(in, out);
  if (!status.ok()) {
    return status.WithMessage("not a valid COMPRESS_Tfp stream: " +
                              status.message());
  }
  return {};
}

int UsageError(std::string_view usage, const std::string& problem) {
  std::fprintf(stderr, "krelt-cli: %s\n%.*s", problem.c_str(),
               static_cast<int>(usage.size()), usage.data());
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "krelt-cli: %s\n", message.c_str());
  return kExitFailure;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text);
  quoted += '\'';
  return quoted;
}

// Reads IN, transforms its bytes and writes the result to OUT, which is
// replaced only when everything succeeded.
int RunFileCommand(const std::vector<std::string_view>& args,
                   std::string_view usage, Transform transform) {
  std::vector<std::string_view> files;
  for (std::string_view arg : args) {
    if (arg.size() > 1 && arg[0] == '-') {
      return UsageError(usage, "unknown option " + Quoted(arg));
    }
    files.push_back(arg);
  }
  if (files.size() != 2) {
    return UsageError(usage, "expected 2 file names, got " +
                                 std::to_string(files.size()));
  }
  const std::filesystem::path in = PathFromUtf8(files[0]);
  const std::filesystem::path out = PathFromUtf8(files[1]);

  Bytes input;
  if (const Status status = ReadFileBytes(in, input); !status.ok()) {
    return Failure(status.message());
  }
  Bytes output;
  if (const Status status = transform(input, output); !status.ok()) {
    return Failure(Quoted(files[0]) + ": " + status.message());
  }
  if (const Status status = WriteFileAtomically(out, output); !status.ok()) {
    return Failure(status.message());
  }
  return kExitOk;
}

constexpr std::string_view kCompressUsage = "Usage: krelt-cli compress IN OUT\n";
constexpr std::string_view kDecompressUsage =
    "Usage: krelt-cli decompress IN OUT\n";

int RunCompress(const std::vector<std::string_view>& args) {
  return RunFileCommand(args, kCompressUsage, CompressBytes);
}

int RunDecompress(const std::vector<std::string_view>& args) {
  return RunFileCommand(args, kDecompressUsage, DecompressBytes);
}

}  // namespace

const Command kCompressCommand = {
    "compress",
    "compress a file into a COMPRESS_Tfp stream",
    "Usage: krelt-cli compress IN OUT\n"
    "\n"
    "Writes the COMPRESS_Tfp stream of the bytes of IN to OUT: the data a GD\n"
    "file's byte array holds. An empty IN gives an empty OUT.\n"
    "\n"
    "OUT is written only when compression succeeded; an existing OUT is\n"
    "replaced then and left untouched otherwise.\n"
    "\n"
    "Exit status: 0 success, 1 IN unreadable or OUT not writable,\n"
    "2 usage error.\n",
    RunCompress,
};

const Command kDecompressCommand = {
    "decompress",
    "decode a COMPRESS_Tfp stream back into its bytes",
    "Usage: krelt-cli decompress IN OUT\n"
    "\n"
    "Checks the COMPRESS_Tfp stream in IN (headers, CRC-16 check words,\n"
    "lengths and coded data) and writes the bytes it stands for to OUT.\n"
    "\n"
    "OUT is written only when the whole stream decoded; an existing OUT is\n"
    "replaced then and left untouched otherwise.\n"
    "\n"
    "Exit status: 0 success, 1 IN unreadable, not a valid stream, or OUT\n"
    "not writable, 2 usage error.\n",
    RunDecompress,
};

}  // namespace krelt::cli
