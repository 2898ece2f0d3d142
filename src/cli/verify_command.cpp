#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/read_back.h"
#include "gd/gd_reader.h"

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
    "  --                 end of options: the next argument is GDFILE\n"
    "\n"
    "Prints one line per record: name, size, data format, compressed and raw\n"
    "bytes. Exit status: 0 all checks hold, 1 a fault (the first is named on\n"
    "stderr), 2 usage error.\n";

struct VerifyOptions {
  std::string gdFile;
  ConversionRequest against;
  bool againstGiven = false;
  std::string byteOrder;
  bool byteOrderGiven = false;
};

std::string RecordCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

// Prints each record as it passes.
Status PrintRecord(const VerifiedRecord& record, std::span<const std::uint8_t>) {
  std::printf("%s\n", DescribeRecord(record).c_str());
  return Status();
}

int RunVerify(VerifyOptions& options) {
  ConversionRequest& request = options.against;
  if ((request.flag1555 || !request.startFrameText.empty() ||
       !request.endFrameText.empty() || options.byteOrderGiven) &&
      !options.againstGiven) {
    return UsageError(kVerifyCommand,
                      "--1555, --start, --end and --byte-order need --against PICTURE");
  }
  if (options.byteOrderGiven) {
    if (auto error = ParseByteOrder(options.byteOrder, request.byteOrder)) {
      return UsageError(kVerifyCommand, *error);
    }
  }

  GdSource source;
  if (Status status = ReadGdSource(PathFromUtf8(options.gdFile), source); !status.ok()) {
    return Failure(kVerifyCommand, status.message());
  }
  if (!options.againstGiven) {
    if (Status status = VerifyGdSource(source, PrintRecord); !status.ok()) {
      return Failure(kVerifyCommand, options.gdFile + ": " + status.message());
    }
    std::printf("%s verified\n", RecordCount(source.records.size()).c_str());
    return kExitOk;
  }
  const std::string& picture = request.sourcePath;
  ConversionPictures pictures;
  if (Status status = pictures.Open(request); !status.ok()) {
    return Failure(kVerifyCommand, status.message());
  }
  if (Status status = VerifyGdSourceAgainst(source, pictures, picture, PrintRecord);
      !status.ok()) {
    return Failure(kVerifyCommand, options.gdFile + ": " + status.message());
  }
  std::printf("%s verified, matching %s\n",
              RecordCount(source.records.size()).c_str(), picture.c_str());
  return kExitOk;
}

std::function<int()> DefineVerify(CLI::App& command) {
  const auto options = std::make_shared<VerifyOptions>();
  ConversionRequest& request = options->against;
  CLI::Option* against =
      command.add_option("--against", request.sourcePath)->option_text("PICTURE");
  command.add_flag("--1555", request.flag1555);
  AddFrameOptions(command, request);
  CLI::Option* byteOrder = AddByteOrderOption(command, options->byteOrder);
  command.add_option("GDFILE", options->gdFile)->required();
  return [options, against, byteOrder] {
    options->againstGiven = against->count() != 0;
    options->byteOrderGiven = byteOrder->count() != 0;
    return RunVerify(*options);
  };
}

}  // namespace

extern const Command kVerifyCommand = {
    "verify", "check a GD source file, optionally against its picture",
    kVerifyHelp, "krelt-cli verify: ", DefineVerify};

}  // namespace krelt::cli
