#include <cstdio>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/gd_reader.h"
#include "convert/gd_verify.h"

namespace krelt::cli {
namespace {

constexpr std::string_view kVerifyHelp =
    "Usage: krelt-cli verify [--against PICTURE [--1555] [--start N] [--end N]\n"
    "                        [--byte-order high-first|low-first]] GDFILE\n"
    "\n"
    "Checks a GD source file as Krelt writes it (CR LF or LF line ends): every\n"
    "array decodes with its lengths and CRC-16 check words intact, every record\n"
    "names a declared array, its size equals the decoded length and width x\n"
    "height x bytes per pixel of its data format (OSD_256: 1, OSD_1555: 2, no\n"
    "data format: 3), and the pointer table lists the records in order.\n"
    "\n"
    "Options:\n"
    "  --against PICTURE  also load PICTURE as a conversion with the options\n"
    "                     below would and check that every decoded array holds\n"
    "                     exactly the pixel bytes that conversion compresses\n"
    "  --1555             the conversion used 16-bit pixels\n"
    "  --start N          the conversion's first frame of a sprite file\n"
    "  --end N            the conversion's last frame of a sprite file\n"
    "  --byte-order high-first|low-first\n"
    "                     the conversion's order of 16-bit pixel bytes\n"
    "\n"
    "Prints one line per record: name, size, data format, compressed and raw\n"
    "bytes. Exit status: 0 all checks hold, 1 a fault (the first is named on\n"
    "stderr), 2 usage error.\n";

struct VerifyOptions {
  std::string gdFile;
  std::optional<ConversionRequest> against;
};

// Fills options from the arguments; returns an error text for bad usage.
std::optional<std::string> ParseOptions(const std::vector<std::string_view>& args,
                                        VerifyOptions& options) {
  ConversionRequest request;
  bool againstGiven = false;
  bool startGiven = false;
  bool endGiven = false;
  std::string byteOrder;
  bool byteOrderGiven = false;
  const Option known[] = {
      {"--against", &request.sourcePath, &againstGiven},
      {"--1555", nullptr, &request.flag1555},
      {"--start", &request.startFrameText, &startGiven},
      {"--end", &request.endFrameText, &endGiven},
      {"--byte-order", &byteOrder, &byteOrderGiven},
  };
  if (auto error = ParseArguments(args, known, options.gdFile,
                                  "only one GDFILE can be verified at a time",
                                  "no GDFILE given")) {
    return error;
  }
  if ((request.flag1555 || startGiven || endGiven || byteOrderGiven) && !againstGiven) {
    return "--1555, --start, --end and --byte-order need --against PICTURE";
  }
  if (byteOrderGiven) {
    if (auto error = ParseByteOrder(byteOrder, request.byteOrder)) return error;
  }
  if (againstGiven) options.against = std::move(request);
  return std::nullopt;
}

std::string RecordCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

// Prints each record as it passes.
Status PrintRecord(const VerifiedRecord& record, std::span<const std::uint8_t>) {
  std::printf("%s\n", DescribeRecord(record).c_str());
  return Status();
}

int RunVerify(const std::vector<std::string_view>& args) {
  VerifyOptions options;
  if (const auto error = ParseOptions(args, options)) {
    return UsageError(kVerifyCommand.name, *error);
  }

  GdSource source;
  if (Status status = ReadGdSource(PathFromUtf8(options.gdFile), source); !status.ok()) {
    return Failure(kVerifyCommand.name, status.message());
  }
  if (!options.against) {
    if (Status status = VerifyGdSource(source, PrintRecord); !status.ok()) {
      return Failure(kVerifyCommand.name, options.gdFile + ": " + status.message());
    }
    std::printf("%s verified\n", RecordCount(source.records.size()).c_str());
    return kExitOk;
  }
  const std::string& picture = options.against->sourcePath;
  ConversionPictures pictures;
  if (Status status = pictures.Open(*options.against); !status.ok()) {
    return Failure(kVerifyCommand.name, status.message());
  }
  if (Status status = VerifyGdSourceAgainst(source, pictures, picture, PrintRecord);
      !status.ok()) {
    return Failure(kVerifyCommand.name, options.gdFile + ": " + status.message());
  }
  std::printf("%s verified, matching %s\n",
              RecordCount(source.records.size()).c_str(), picture.c_str());
  return kExitOk;
}

}  // namespace

extern const Command kVerifyCommand = {
    "verify", "check a GD source file, optionally against its picture",
    kVerifyHelp, RunVerify};

}  // namespace krelt::cli
