#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/arguments.h"
#include "cli/colour_arguments.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "common/utf8_path.h"
#include "common/worker_pool.h"
#include "convert/conversion.h"
#include "convert/read_back.h"
#include "convert/output_names.h"

namespace krelt::cli {
namespace {

#if KRELT_HAVE_IMAGEQUANT
#define KRELT_COLORS_NOTE ""
#else
#define KRELT_COLORS_NOTE "                    (not in this build: it has no libimagequant)\n"
#endif

constexpr std::string_view kConvertHelp =
    "Usage: krelt-cli convert [--1555] [--start N] [--end N] [--output-dir DIR]\n"
    "                         [--byte-order high-first|low-first] [--lf] [-j N]\n"
    "                         [--level LEVEL] [--check] [--quiet] [--preview DIR]\n"
    "                         [--map-palette TABLE | --colors N [--fixed-colors TABLE]]\n"
    "                         [--dither none|diffusion] [--transparent-index N]\n"
    "                         [--palette-out FILE] [--] PICTURE...\n"
    "\n"
    "Converts each BMP, PCX or PNG picture or XSP sprite file (the format is\n"
    "found by the file's content) into a GD source file, exactly as the\n"
    "dialog's Conversion button does, all with the same options.\n"
    "Each file is named after its PICTURE with the extension .GD (sprite ranges\n"
    "not starting at frame 0 add the start frame to the name) and goes into\n"
    "PICTURE's folder.\n"
    "\n"
    "Options:\n"
    "  --1555            16-bit pixels for 24-bit and 256-colour pictures\n"
    "  --start N         first frame of a sprite file (default 0)\n"
    "  --end N           last frame of a sprite file (default: the last)\n"
    "  --output-dir DIR  write the GD files into DIR instead\n"
    "  --byte-order high-first|low-first\n"
    "                    store 16-bit pixels in this order (default: BMP\n"
    "                    pictures low byte first, the others high byte first)\n"
    "  --lf              end lines with LF instead of CR LF\n"
    "  -j, --jobs N      threads sharing the pictures, the frames of a sprite\n"
    "                    file and the chunks of each stream (default: one per\n"
    "                    core); the files are the same for every N\n"
    "  --level LEVEL     default: the established streams, byte for byte;\n"
    "                    max: smaller streams for the same decoders, several\n"
    "                    times slower\n"
    "  --check           write nothing: compare each GD file on disk with what\n"
    "                    the conversion gives and list those that differ or\n"
    "                    are missing\n"
    "  --quiet           print only the written files' paths, no progress line\n"
    "  --preview DIR     also decode the streams just written into PNG pictures\n"
    "                    in DIR, as extract does (OSD_256 in the picture's\n"
    "                    palette), and print their paths after the report\n"
    "  --map-palette TABLE\n"
    "                    write every picture as OSD_256 indices of the colour\n"
    "                    table TABLE (a palette picture, .gpl or .pal): palette\n"
    "                    entries to the entry of the same colour, other colours\n"
    "                    to the nearest entry (Oklab distance); a warning counts\n"
    "                    the colours not in the table\n"
    "  --colors N        build one table of at most N (2..256) colours over all\n"
    "                    the pictures with libimagequant and write them with it\n"
    KRELT_COLORS_NOTE
    "  --fixed-colors TABLE\n"
    "                    with --colors: TABLE's entries keep their colours and\n"
    "                    places at the start of the table\n"
    "  --dither none|diffusion\n"
    "                    pictures without a palette: nearest colour (default)\n"
    "                    or Floyd-Steinberg error diffusion\n"
    "  --transparent-index N\n"
    "                    index of pixels with alpha below 128 (PNG); without it\n"
    "                    they keep the colour under them, with a warning\n"
    "  --palette-out FILE\n"
    "                    write the table as .gpl, .pal, .png (16x16 swatch) or .c\n"
    "                    (bytes and 1-5-5-5 values), by FILE's extension\n"
    "  --                end of options: every later argument is a PICTURE\n"
    "\n"
    "N is a decimal number. For each picture, in the order given, prints the\n"
    "written file's path, then the report: one row a line, the type, a tab and\n"
    "the content; warnings about a picture go to stderr before its path. A\n"
    "picture that fails prints its message on stderr, nothing is written for\n"
    "it, and the other pictures go on. A run of several pictures ends with a\n"
    "summary on stderr (\"12 converted, 1 failed\"). When stderr is a terminal,\n"
    "a run longer than a second shows a progress line there (pictures done,\n"
    "MB/s). Ctrl-C stops the conversions at their next chunk and leaves the\n"
    "GD files not yet written as they were.\n"
    "\n"
    "Exit status: 0 every file written (with --check: every file up to date),\n"
    "1 a picture failed, or with --check a GD file differs or is missing,\n"
    "2 usage error, 130 interrupted by Ctrl-C.\n";

struct ConvertOptions {
  ConversionRequest request;  // the settings every picture shares
  std::vector<std::string> pictures;
  std::string outputDirectory;
  bool outputDirectoryGiven = false;
  bool lf = false;
  std::string byteOrder;
  std::string jobs;
  bool check = false;
  bool quiet = false;
  std::string previewDirectory;
  bool previewGiven = false;
  ColourArguments colours;
};

struct PictureOutcome {
  ConversionResult result;
  std::vector<std::filesystem::path> previewPaths;
  std::string previewFailure;  // the message of a failed preview
};

// Writes the PNG pictures of the GD file a conversion just wrote into the
// preview folder, with the picture's palette when it has one.
void WritePreview(const ConvertOptions& options, PictureOutcome& outcome) {
  if (Status status = ExtractGdFile(outcome.result.writtenPath,
                                    PathFromUtf8(options.previewDirectory),
                                    ConversionExtractOptions(outcome.result),
                                    outcome.previewPaths);
      !status.ok()) {
    outcome.previewFailure = "--preview: " + status.message();
  }
}

ConversionRequest PictureRequest(const ConvertOptions& options, const std::string& picture) {
  const OutputNames names = DeriveOutputNames(picture);
  ConversionRequest request = options.request;
  request.sourcePath = picture;
  request.outputDirectory = options.outputDirectoryGiven
                                ? PathFromUtf8(options.outputDirectory)
                                : names.outputDirectory;
  request.outputBaseName = names.outputBaseName;
  return request;
}

// Prints each picture's outcome as soon as those before it are printed, so
// the output follows the order the pictures were given in.
class OrderedPrinter {
 public:
  OrderedPrinter(const ConvertOptions& options, std::vector<PictureOutcome>& outcomes,
                 ProgressLine& progress)
      : options_(options), outcomes_(outcomes), ready_(outcomes.size(), false),
        progress_(progress) {}

  void Ready(std::size_t index) {
    const std::lock_guard lock(mutex_);
    ready_[index] = true;
    for (; next_ < ready_.size() && ready_[next_]; ++next_) {
      progress_.Print([this] { PrintOutcome(outcomes_[next_]); });
    }
  }

 private:
  void PrintOutcome(const PictureOutcome& outcome) const {
    const ConversionResult& result = outcome.result;
    if (result.status.kind() == ErrorKind::kCancelled) return;
    if (!result.status.ok()) {
      Failure(kConvertCommand, result.status.message());
      return;
    }
    if (options_.check) {
      if (result.check == CheckOutcome::kDiffers) {
        std::printf("%s: differs\n", PathToUtf8(result.checkedPath).c_str());
      } else if (result.check == CheckOutcome::kMissing) {
        std::printf("%s: missing\n", PathToUtf8(result.checkedPath).c_str());
      }
      return;
    }
    for (const std::string& notice : result.notices) Warning(kConvertCommand, notice);
    std::printf("%s\n", PathToUtf8(result.writtenPath).c_str());
    if (!options_.quiet) {
      for (const ReportRow& row : result.report) {
        std::printf("%s\t%s\n", row.type.c_str(), row.content.c_str());
      }
    }
    PrintPreview(outcome);
  }

  static void PrintPreview(const PictureOutcome& outcome) {
    if (!outcome.previewFailure.empty()) Failure(kConvertCommand, outcome.previewFailure);
    for (const auto& path : outcome.previewPaths) {
      std::printf("%s\n", PathToUtf8(path).c_str());
    }
  }

  const ConvertOptions& options_;
  const std::vector<PictureOutcome>& outcomes_;
  std::mutex mutex_;
  std::vector<bool> ready_;
  std::size_t next_ = 0;
  ProgressLine& progress_;
};

// The pictures in chains of those whose GD files may get the same name
// (same folder and base name, in any letter case, as on Windows): each
// chain is converted in the order given, so the last picture's file is the
// one left, as when they are converted one after another.
std::vector<std::vector<std::size_t>> SameNameChains(const ConvertOptions& options) {
  std::vector<std::vector<std::size_t>> chains;
  std::map<std::string, std::size_t> chainOfName;
  for (std::size_t index = 0; index < options.pictures.size(); ++index) {
    const ConversionRequest request = PictureRequest(options, options.pictures[index]);
    std::string name = PathToUtf8(request.outputDirectory / PathFromUtf8(request.outputBaseName));
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    const auto [entry, added] = chainOfName.emplace(name, chains.size());
    if (added) chains.emplace_back();
    chains[entry->second].push_back(index);
  }
  return chains;
}

std::uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), error);
  return error ? 0 : size;
}

// "12 converted, 1 failed", or with --check "11 up to date, 1 out of date,
// 1 failed"; true when all went well.
bool Summarize(const std::vector<PictureOutcome>& outcomes, bool check,
               std::string& summary) {
  std::size_t failed = 0;
  std::size_t outOfDate = 0;
  for (const PictureOutcome& outcome : outcomes) {
    if (!outcome.result.status.ok() || !outcome.previewFailure.empty()) {
      ++failed;
    } else if (check && outcome.result.check != CheckOutcome::kSame) {
      ++outOfDate;
    }
  }
  const std::size_t good = outcomes.size() - failed - outOfDate;
  summary = check ? std::to_string(good) + " up to date, " + std::to_string(outOfDate) +
                        " out of date, " + std::to_string(failed) + " failed"
                  : std::to_string(good) + " converted, " + std::to_string(failed) + " failed";
  return failed == 0 && outOfDate == 0;
}

// One colour table for every picture of the run, written to --palette-out.
int ShareColourTable(ConvertOptions& options) {
  ColourRequest& colours = options.request.colours;
  auto table = std::make_shared<ColourTable>();
  if (Status status = ResolveColourTable(options.request, options.pictures, *table);
      !status.ok()) {
    return Failure(kConvertCommand, status.message());
  }
  colours.table = std::move(table);
  if (options.colours.paletteOut.empty()) return kExitOk;
  if (Status status = WriteColourTableFile(options.colours.paletteOut, *colours.table);
      !status.ok()) {
    return Failure(kConvertCommand, "--palette-out: " + status.message());
  }
  std::printf("%s\n", options.colours.paletteOut.c_str());
  return kExitOk;
}

int RunConvert(ConvertOptions& options) {
  const unsigned threads = JobCount(options.jobs);
  options.request.action = options.check ? OutputAction::kCheck : OutputAction::kWrite;
  CancelOnInterrupt();
  const CancellationToken& interrupt = InterruptToken();
  options.request.cancel = &interrupt;
  if (options.request.colours.mode != ColourMode::kAsPicture) {
    if (int failed = ShareColourTable(options); failed != kExitOk) return failed;
  }

  std::vector<PictureOutcome> outcomes(options.pictures.size());
  ProgressLine progress(stderr, outcomes.size(),
                        !options.quiet && ProgressLine::StderrIsTerminal());
  OrderedPrinter printer(options, outcomes, progress);
  const std::vector<std::vector<std::size_t>> chains = SameNameChains(options);
  WorkerPool pool(threads);
  pool.ParallelFor(chains.size(), [&](std::size_t chain) {
    for (const std::size_t index : chains[chain]) {
      const std::string& picture = options.pictures[index];
      Converter converter(kMaxGdTextLength, &pool);
      // The pictures not started when Ctrl-C comes are left alone as well.
      if (interrupt.cancelled()) {
        outcomes[index].result.status = Status::Error(ErrorKind::kCancelled, "cancelled");
      } else {
        outcomes[index].result = converter.RunConversion(PictureRequest(options, picture));
      }
      if (options.previewGiven && outcomes[index].result.status.ok()) {
        WritePreview(options, outcomes[index]);
      }
      progress.AddDone(FileSize(picture));
      printer.Ready(index);
    }
  });

  if (interrupt.cancelled()) {
    progress.Print([] { Failure(kConvertCommand, "interrupted: files not yet written were left as they were"); });
    return kExitInterrupted;
  }
  std::string summary;
  const bool allGood = Summarize(outcomes, options.check, summary);
  if (outcomes.size() > 1) {
    progress.Print([&summary] { std::fprintf(stderr, "%s\n", summary.c_str()); });
  }
  return allGood ? kExitOk : kExitFailure;
}

std::function<int()> DefineConvert(CLI::App& command) {
  const auto options = std::make_shared<ConvertOptions>();
  ConversionRequest& request = options->request;
  command.add_flag("--1555", request.flag1555);
  AddFrameOptions(command, request);
  CLI::Option* outputDirectory = command.add_option("--output-dir", options->outputDirectory);
  CLI::Option* byteOrder = AddByteOrderOption(command, options->byteOrder);
  command.add_flag("--lf", options->lf);
  AddJobsOption(command, options->jobs);
  AddLevelOption(command, request.level);
  command.add_flag("--check", options->check);
  command.add_flag("--quiet", options->quiet);
  CLI::Option* preview = command.add_option("--preview", options->previewDirectory)
                             ->option_text("DIR");
  AddColourOptions(command, options->colours);
  command.add_option("PICTURE", options->pictures)->required();
  return [options, outputDirectory, byteOrder, preview] {
    if (auto error = ApplyColourArguments(options->colours, options->request)) {
      return UsageError(kConvertCommand, *error);
    }
    if (!options->colours.paletteOut.empty() && options->check) {
      return UsageError(kConvertCommand, "--palette-out writes a table, --check writes nothing");
    }
    options->outputDirectoryGiven = outputDirectory->count() != 0;
    options->previewGiven = preview->count() != 0;
    if (options->previewGiven && options->check) {
      return UsageError(kConvertCommand, "--preview writes pictures, --check writes nothing");
    }
    if (options->lf) options->request.lineEnding = LineEnding::kLf;
    if (byteOrder->count() != 0) {
      if (auto error = ParseByteOrder(options->byteOrder, options->request.byteOrder)) {
        return UsageError(kConvertCommand, *error);
      }
    }
    return RunConvert(*options);
  };
}

}  // namespace

extern const Command kConvertCommand = {
    "convert", "convert pictures or sprite files into GD source files", kConvertHelp,
    "krelt-cli convert: ", DefineConvert};

}  // namespace krelt::cli
