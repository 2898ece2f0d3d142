#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/utf8_path.h"
#include "gd/gd_extract.h"

namespace krelt::cli {
namespace {

constexpr std::string_view kExtractHelp =
    "Usage: krelt-cli extract [--output-dir DIR] [--palette PICTURE]\n"
    "                         [--byte-order high-first|low-first] GDFILE\n"
    "\n"
    "Decodes every array of a GD source file, checking it as verify does, and\n"
    "writes one PNG picture per record into GDFILE's folder: NAME.png, or\n"
    "NAME_N.png for frame N of a sprite file. OSD_256 records give palette\n"
    "pictures, OSD_1555 records RGBA pictures (alpha 255 where bit 15 is set,\n"
    "0 where it is clear), records without a data format RGB pictures.\n"
    "\n"
    "Options:\n"
    "  --output-dir DIR   write the PNG pictures into DIR instead\n"
    "  --palette PICTURE  colours of OSD_256 indices: the palette of PICTURE\n"
    "                     (BMP, PCX, palette PNG, or frame 0 of a sprite\n"
    "                     file) or a .gpl or .pal colour table; without it\n"
    "                     index i is grey i\n"
    "  --byte-order high-first|low-first\n"
    "                     order of the bytes of 16-bit pixels (default\n"
    "                     high-first; BMP conversions store low-first)\n"
    "\n"
    "Prints the path of each written picture. Exit status: 0 written, 1 a\n"
    "fault (named on stderr; no picture is written), 2 usage error.\n";

struct ExtractCommandOptions {
  std::string gdFile;
  std::string outputDirectory;
  bool outputDirectoryGiven = false;
  std::string palette;
  bool paletteGiven = false;
  std::string byteOrder;
  bool byteOrderGiven = false;
};

int RunExtract(const ExtractCommandOptions& options) {
  ExtractOptions extract;
  if (options.byteOrderGiven) {
    ByteOrder order = ByteOrder::kHighFirst;
    if (auto error = ParseByteOrder(options.byteOrder, order)) {
      return UsageError(kExtractCommand, *error);
    }
    extract.lowByteFirst = order == ByteOrder::kLowFirst;
  }
  if (options.paletteGiven) {
    Palette8 palette{};
    if (Status status = ReadPicturePalette(PathFromUtf8(options.palette), palette);
        !status.ok()) {
      return Failure(kExtractCommand, "--palette: " + status.message());
    }
    extract.palette = palette;
  }
  const std::filesystem::path gdFile = PathFromUtf8(options.gdFile);
  const std::filesystem::path folder = options.outputDirectoryGiven
                                           ? PathFromUtf8(options.outputDirectory)
                                           : gdFile.parent_path();
  std::vector<std::filesystem::path> written;
  if (Status status = ExtractGdFile(gdFile, folder, extract, written); !status.ok()) {
    return Failure(kExtractCommand, options.gdFile + ": " + status.message());
  }
  for (const auto& path : written) std::printf("%s\n", PathToUtf8(path).c_str());
  return kExitOk;
}

std::function<int()> DefineExtract(CLI::App& command) {
  const auto options = std::make_shared<ExtractCommandOptions>();
  CLI::Option* outputDirectory = command.add_option("--output-dir", options->outputDirectory);
  CLI::Option* palette =
      command.add_option("--palette", options->palette)->option_text("PICTURE");
  CLI::Option* byteOrder = AddByteOrderOption(command, options->byteOrder);
  command.add_option("GDFILE", options->gdFile)->required();
  return [options, outputDirectory, palette, byteOrder] {
    options->outputDirectoryGiven = outputDirectory->count() != 0;
    options->paletteGiven = palette->count() != 0;
    options->byteOrderGiven = byteOrder->count() != 0;
    return RunExtract(*options);
  };
}

}  // namespace

extern const Command kExtractCommand = {
    "extract", "decode a GD source file's records into PNG pictures",
    kExtractHelp, "krelt-cli extract: ", DefineExtract};

}  // namespace krelt::cli
