#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/output_names.h"

namespace krelt::cli {
namespace {

constexpr std::string_view kConvertHelp =
    "Usage: krelt-cli convert [--1555] [--start N] [--end N] [--output-dir DIR]\n"
    "                         [--byte-order high-first|low-first] [--lf] [--quiet]\n"
    "                         PICTURE\n"
    "\n"
    "Converts a BMP, PCX or PNG picture or an XSP sprite file (the format is\n"
    "found by the file's content) into a GD source file, exactly as the\n"
    "dialog's Conversion button does. The file is named after\n"
    "PICTURE with the extension .GD (sprite ranges not starting at frame 0 add\n"
    "the start frame to the name) and goes into PICTURE's folder.\n"
    "\n"
    "Options:\n"
    "  --1555            16-bit pixels for 24-bit and 256-colour pictures\n"
    "  --start N         first frame of a sprite file (default 0)\n"
    "  --end N           last frame of a sprite file (default: the last)\n"
    "  --output-dir DIR  write the GD file into DIR instead\n"
    "  --byte-order high-first|low-first\n"
    "                    store 16-bit pixels in this order (default: BMP\n"
    "                    pictures low byte first, the others high byte first)\n"
    "  --lf              end lines with LF instead of CR LF\n"
    "  --quiet           print only the written file's path\n"
    "\n"
    "Prints the written file's path, then the report: one row a line, the\n"
    "type, a tab and the content. Warnings about the picture go to stderr. Exit status: 0 written, 1 failed (nothing\n"
    "written), 2 usage error.\n";

struct ConvertOptions {
  ConversionRequest request;
  std::string picture;
  std::string outputDirectory;
  bool outputDirectoryGiven = false;
  bool quiet = false;
};

// Fills options from the arguments; returns an error text for bad usage.
std::optional<std::string> ParseOptions(const std::vector<std::string_view>& args,
                                        ConvertOptions& options) {
  ConversionRequest& request = options.request;
  bool lf = false;
  std::string byteOrder;
  bool byteOrderGiven = false;
  const Option known[] = {
      {"--1555", nullptr, &request.flag1555},
      {"--start", &request.startFrameText},
      {"--end", &request.endFrameText},
      {"--output-dir", &options.outputDirectory, &options.outputDirectoryGiven},
      {"--lf", nullptr, &lf},
      {"--quiet", nullptr, &options.quiet},
      {"--byte-order", &byteOrder, &byteOrderGiven},
  };
  std::optional<std::string> error =
      ParseArguments(args, known, options.picture,
                     "only one PICTURE can be converted at a time", "no PICTURE given");
  if (lf) request.lineEnding = LineEnding::kLf;
  if (!error && byteOrderGiven) error = ParseByteOrder(byteOrder, request.byteOrder);
  return error;
}

// The command line's side of a conversion: failures go to stderr; the
// report comes back in the result.
class CliHost : public ConversionHost {
 public:
  void ClearReport() override {}
  void SetProgressRange(std::int32_t) override {}
  void SetProgressPosition(std::int32_t) override {}
  void EnableOpen() override {}
  void ShowMessage(const std::string& text, const std::string&) override {
    Failure(kConvertCommand.name, text);
  }
  void ShowReport(const std::vector<ReportRow>&) override {}
};

int RunConvert(const std::vector<std::string_view>& args) {
  ConvertOptions options;
  if (const auto error = ParseOptions(args, options)) {
    return UsageError(kConvertCommand.name, *error);
  }

  const OutputNames names = DeriveOutputNames(options.picture);
  ConversionRequest& request = options.request;
  request.sourcePath = options.picture;
  request.outputDirectory = options.outputDirectoryGiven
                                ? PathFromUtf8(options.outputDirectory)
                                : names.outputDirectory;
  request.outputBaseName = names.outputBaseName;

  Converter converter;
  CliHost host;
  const ConversionResult result = converter.RunConversion(request, host);
  if (!result.status.ok()) return kExitFailure;
  for (const std::string& notice : result.notices) {
    Warning(kConvertCommand.name, notice);
  }
  std::printf("%s\n", PathToUtf8(result.writtenPath).c_str());
  if (!options.quiet) {
    for (const ReportRow& row : result.report) {
      std::printf("%s\t%s\n", row.type.c_str(), row.content.c_str());
    }
  }
  return kExitOk;
}

}  // namespace

extern const Command kConvertCommand = {
    "convert", "convert a picture or sprite file into a GD source file",
    kConvertHelp, RunConvert};

}  // namespace krelt::cli
