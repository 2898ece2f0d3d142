#include "convert/conversion.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/gd_text.h"
#include "convert/output_names.h"

namespace krelt {
namespace {

constexpr const char* kSelectFileMessage = "Select File!!";
constexpr const char* kNoticeCaption = "Notice";
// Empty caption: the front end shows its application name.
constexpr const char* kApplicationCaption = "";

// What one conversion produced before anything is written.
struct ConversionOutput {
  ConversionState state;
  GdDocument document;
  std::filesystem::path outputPath;
};

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

// 15 - min(selection, 15), kept in the state; it does not change the
// output.
std::int32_t AlphaLevel(std::int32_t alphaSelection) {
  return ClampToInt32(15 - std::int64_t{std::min(alphaSelection, 15)});
}

int DataFormatCode(PixelFormat format) {
  if (format == kPixelFormatIndexed) return kDataFormatOsd256;
  if (format == kPixelFormat16Bit) return kDataFormatOsd1555;
  return 0;
}

Status TextTooLarge(const ConversionPictures& pictures,
                    std::uintmax_t maxTextLength) {
  return Status::Error(ErrorKind::kTooLarge, pictures.fileName() + ": the GD file would be larger than " +
                       std::to_string(maxTextLength) +
                       " bytes, the most Krelt reads back");
}

// Compresses the picture and records it under its frame's table entry.
Status AddPicture(TfpEncoder& encoder, const ConversionPictures& pictures,
                  const ConvertedPicture& source, ConversionOutput& output) {
  GdPicture picture{source.frame, {},
                    static_cast<std::int32_t>(source.pixels.size()),
                    source.width, source.height};
  if (!encoder.Compress(source.pixels, picture.stream)) {
    return pictures.PictureFault(
        source, "the picture could not be compressed: too large for one "
                "stream, or out of memory");
  }
  const auto entry = static_cast<std::size_t>(source.frame);
  output.state.frameSize[entry] = picture.size;
  output.state.frameWidth[entry] = picture.width;
  output.state.frameHeight[entry] = picture.height;
  output.document.pictures.push_back(std::move(picture));
  return Status();
}

// Names, tables and record settings of the conversion of open pictures.
void PrepareOutput(const ConversionRequest& request,
                   const ConversionPictures& pictures, ConversionOutput& output) {
  ConversionState& state = output.state;
  // The BMP road keeps alpha level 0.
  if (!pictures.bmpRoad()) {
    state.alphaLevel = AlphaLevel(request.alphaSelection);
  }
  state.identifierName = DeriveIdentifierName(request.sourcePath);
  state.startFrame = pictures.startFrame();
  state.endFrame = pictures.endFrame();
  // The tables are indexed by frame number and reach the end of the range,
  // not the file's frame count, which a hostile file may make huge.
  const auto entries = static_cast<std::size_t>(
      std::min<std::int64_t>(pictures.frameCount(), std::int64_t{state.endFrame} + 1));
  state.frameSize.assign(entries, 0);
  state.frameWidth.assign(entries, 0);
  state.frameHeight.assign(entries, 0);
  output.document.identifierName = state.identifierName;
  output.document.perFrameRecords = pictures.perFrameRecords();
  output.document.dataFormatCode = DataFormatCode(pictures.declaredFormat());
  // A range that does not start at frame 0 gets its start in the file name.
  const std::string suffix =
      state.startFrame != 0 ? std::to_string(state.startFrame) : std::string();
  output.outputPath =
      request.outputDirectory / PathFromUtf8(request.outputBaseName + suffix + ".GD");
}

// Loads and compresses each picture in turn. Every stream byte takes five
// characters of GD text, so the streams alone show early when the text
// would grow beyond maxTextLength; the whole text is measured at the end.
Status ConvertPictures(ConversionPictures& pictures, TfpEncoder& encoder,
                       const ConversionRequest& request,
                       std::uintmax_t maxTextLength, ConversionOutput& output) {
  if (Status status = pictures.Open(request); !status.ok()) return status;
  PrepareOutput(request, pictures, output);
  ConvertedPicture picture;
  std::uintmax_t streamBytes = 0;
  for (std::size_t index = 0; index < pictures.count(); ++index) {
    if (Status status = pictures.Load(index, picture); !status.ok()) {
      return status;
    }
    if (Status status = AddPicture(encoder, pictures, picture, output);
        !status.ok()) {
      return status;
    }
    streamBytes += output.document.pictures.back().stream.size();
    if (streamBytes > maxTextLength / 5) {
      return TextTooLarge(pictures, maxTextLength);
    }
  }
  if (GdTextLength(output.document, request.lineEnding) > maxTextLength) {
    return TextTooLarge(pictures, maxTextLength);
  }
  return Status();
}

// Formats the GD text, with the progress following each stream, and
// replaces the output file in one step.
Status WriteGdFile(const ConversionOutput& output, LineEnding lineEnding,
                   ConversionHost& host) {
  const std::string text = FormatGdText(
      output.document, lineEnding,
      [&host](std::size_t formatted, std::size_t length) {
        const auto toInt32 = [](std::size_t value) {
          return ClampToInt32(static_cast<std::int64_t>(value));
        };
        if (formatted == 0) host.SetProgressRange(toInt32(length));
        host.SetProgressPosition(toInt32(formatted));
      });
  return WriteFileAtomically(output.outputPath, std::string_view(text));
}

}  // namespace

ConversionResult Converter::RunConversion(const ConversionRequest& request,
                                          ConversionHost& host) {
  ConversionResult result;
  if (request.sourcePath.empty()) {
    host.ShowMessage(kSelectFileMessage, kNoticeCaption);
    result.status = Status::Error(ErrorKind::kUsage, kSelectFileMessage);
    return result;
  }
  host.ClearReport();
  host.SetProgressPosition(0);

  ConversionOutput output;
  Status status =
      ConvertPictures(pictures_, encoder_, request, maxGdTextLength_, output);
  if (status.ok()) status = WriteGdFile(output, request.lineEnding, host);
  if (!status.ok()) {
    host.ShowMessage(status.message(), kApplicationCaption);
    result.status = std::move(status);
    return result;
  }
  state_ = std::move(output.state);
  result.writtenPath = output.outputPath;
  result.notices = pictures_.notices();
  result.report = BuildReport(state_, output.document.dataFormatCode,
                              output.document.perFrameRecords);
  host.ShowReport(result.report);
  host.EnableOpen();
  return result;
}

}  // namespace krelt
