#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/file_arguments.h"
#include "common/status.h"
#include "common/utf8_path.h"
#include "common/worker_pool.h"
#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"

namespace krelt::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Transform = std::function<Status(std::span<const std::uint8_t> in, const OutputSink& out)>;

Status CompressBytes(std::span<const std::uint8_t> in, const OutputSink& out,
                     CompressionLevel level, unsigned threads) {
  WorkerPool pool(threads);
  TfpEncoder encoder(&pool, level);
  Bytes stream;
  const Status status = encoder.Compress(in, stream);
  if (status.ok()) {
    out(stream);
    return status;
  }
  return status.WithMessage("can't compress " + std::to_string(in.size()) + " bytes: " +
                            status.message());
}

Status DecompressBytes(std::span<const std::uint8_t> in, const OutputSink& out,
                       unsigned threads) {
  WorkerPool pool(threads);
  const Status status = TfpDecoder::Decode(in, out, &pool);
  if (status.kind() == ErrorKind::kDamaged) {
    return status.WithMessage("not a valid COMPRESS_Tfp stream: " +
                              status.message());
  }
  return status;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text);
  quoted += '\'';
  return quoted;
}

// Reads IN, transforms its bytes and writes the result to OUT as it comes;
// OUT is replaced only when everything succeeded.
int RunFileCommand(const Command& command, const std::string& inName,
                   const std::string& outName, const Transform& transform) {
  if (const Status status = CheckNotSameFile(inName, outName); !status.ok()) {
    return Failure(command, status.message());
  }
  Bytes input;
  if (const Status status = ReadInputFile(inName, input); !status.ok()) {
    return Failure(command, status.message());
  }
  Status transformed;
  const Status written = WriteOutputFileFrom(outName, [&](const OutputSink& out) {
    transformed = transform(input, out);
    return transformed;
  });
  if (!transformed.ok()) return Failure(command, Quoted(inName) + ": " + transformed.message());
  if (!written.ok()) return Failure(command, written.message());
  return kExitOk;
}

// IN and OUT, both required; messages go out as `self`'s.
std::function<int()> DefineFileCommand(CLI::App& command, const Command& self,
                                       Transform transform) {
  struct Files {
    std::string in;
    std::string out;
  };
  const auto files = std::make_shared<Files>();
  command.add_option("IN", files->in)->required();
  command.add_option("OUT", files->out)->required();
  return [files, &self, transform] {
    return RunFileCommand(self, files->in, files->out, transform);
  };
}

std::function<int()> DefineCompress(CLI::App& command) {
  const auto level = std::make_shared<CompressionLevel>(CompressionLevel::kDefault);
  const auto jobs = std::make_shared<std::string>();
  AddLevelOption(command, *level);
  AddJobsOption(command, *jobs);
  return DefineFileCommand(command, kCompressCommand,
                           [level, jobs](std::span<const std::uint8_t> in, const OutputSink& out) {
                             return CompressBytes(in, out, *level, JobCount(*jobs));
                           });
}

std::function<int()> DefineDecompress(CLI::App& command) {
  const auto jobs = std::make_shared<std::string>();
  AddJobsOption(command, *jobs);
  return DefineFileCommand(command, kDecompressCommand,
                           [jobs](std::span<const std::uint8_t> in, const OutputSink& out) {
                             return DecompressBytes(in, out, JobCount(*jobs));
                           });
}

}  // namespace

const Command kCompressCommand = {
    "compress",
    "compress a file into a COMPRESS_Tfp stream",
    "Usage: krelt-cli compress IN OUT\n"
    "       krelt-cli compress [--level LEVEL] [-j N] IN OUT\n"
    "\n"
    "Writes the COMPRESS_Tfp stream of the bytes of IN to OUT: the data a GD\n"
    "file's byte array holds. An empty IN gives an empty OUT.\n"
    "\n"
    "Options:\n"
    "  --level LEVEL     default: the established stream, byte for byte;\n"
    "                    max: a smaller stream for the same decoders, several\n"
    "                    times slower\n"
    "  -j, --jobs N      threads sharing the chunks (default: one per core);\n"
    "                    OUT is the same for every N\n"
    "\n"
    "OUT is written only when compression succeeded; an existing OUT is\n"
    "replaced then and left untouched otherwise. A device or FIFO as OUT is\n"
    "written into. OUT may not be IN itself, nor a link to it. IN '-' is\n"
    "standard input, OUT '-' standard output; name a file called '-' as\n"
    "'./-'. After '--' the next two arguments are IN and OUT even when they\n"
    "start with '-'.\n"
    "\n"
    "Exit status: 0 success, 1 IN unreadable, OUT not writable or the same\n"
    "file as IN, 2 usage error.\n",
    "krelt-cli: ",
    DefineCompress,
};

const Command kDecompressCommand = {
    "decompress",
    "decode a COMPRESS_Tfp stream back into its bytes",
    "Usage: krelt-cli decompress IN OUT\n"
    "       krelt-cli decompress -j N IN OUT\n"
    "\n"
    "Checks the COMPRESS_Tfp stream in IN (headers, CRC-16 check words,\n"
    "lengths and coded data) and writes the bytes it stands for to OUT.\n"
    "\n"
    "Options:\n"
    "  -j, --jobs N      threads sharing the chunks (default: one per core)\n"
    "\n"
    "OUT is written only when the whole stream decoded; an existing OUT is\n"
    "replaced then and left untouched otherwise. A device or FIFO as OUT is\n"
    "written into. OUT may not be IN itself, nor a link to it. IN '-' is\n"
    "standard input, OUT '-' standard output; name a file called '-' as\n"
    "'./-'. After '--' the next two arguments are IN and OUT even when they\n"
    "start with '-'.\n"
    "\n"
    "Exit status: 0 success, 1 IN unreadable, not a valid stream, OUT not\n"
    "writable or the same file as IN, 2 usage error.\n",
    "krelt-cli: ",
    DefineDecompress,
};

}  // namespace krelt::cli
