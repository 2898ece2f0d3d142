#include "convert/conversion.h"

#include <algorithm>
#include <limits>
#include <span>
#include <utility>

#include "convert/file_io.h"
#include "convert/frame_range.h"
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

// The readers and the encoder a conversion works with.
struct ConversionTools {
  PcxImage& pcx;
  XspSprite& sprite;
  BmpImage& bmp;
  TfpEncoder& encoder;
};

// One picture or frame as a reader left it.
struct PictureSource {
  std::span<std::uint8_t> pixels;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = kPixelFormatIndexed;
};

bool IsBmpPath(const std::string& path) {
  constexpr std::string_view kBmp = ".bmp";
  if (path.size() < kBmp.size()) return false;
  return std::equal(kBmp.begin(), kBmp.end(), path.end() - kBmp.size(),
                    [](char expected, char c) {
                      return expected == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                    });
}

std::string FileName(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

// "name.ext: message" for a failed status; success passes through.
Status InFile(const std::filesystem::path& path, Status status) {
  if (status.ok()) return status;
  return Status::Error(FileName(path) + ": " + status.message());
}

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

// 16-bit pixels for the firmware: bit 15 set on every non-zero pixel, each
// value stored high byte first. Zero pixels stay zero.
void FinishHighColourPixels(std::span<std::uint8_t> pixels) {
  for (std::size_t i = 0; i + 1 < pixels.size(); i += 2) {
    std::uint16_t value = static_cast<std::uint16_t>(pixels[i] | (pixels[i + 1] << 8));
    if (value != 0) value |= 0x8000;
    pixels[i] = static_cast<std::uint8_t>(value >> 8);
    pixels[i + 1] = static_cast<std::uint8_t>(value & 0xFF);
  }
}

// Work out the picture's byte count, finish 16-bit pixels when asked,
// compress, and record the picture under table entry `frame`.
Status AddPicture(TfpEncoder& encoder, const PictureSource& source,
                  std::int32_t frame, bool finishHighColour,
                  ConversionOutput& output) {
  if (source.format < kPixelFormatIndexed || source.format > kPixelFormatRgb) {
    return Status::Error("unsupported pixel layout " +
                         std::to_string(source.format));
  }
  if (source.width < 0 || source.height < 0) {
    return Status::Error("invalid picture size " + std::to_string(source.width) +
                         " x " + std::to_string(source.height));
  }
  const std::int64_t size =
      std::int64_t{source.width} * source.height * source.format;
  if (size > std::numeric_limits<std::int32_t>::max()) {
    return Status::Error("picture too large: " + std::to_string(size) + " bytes");
  }
  if (static_cast<std::uint64_t>(size) > source.pixels.size()) {
    return Status::Error("the picture's pixel data are incomplete");
  }
  const auto pixels = source.pixels.first(static_cast<std::size_t>(size));
  if (finishHighColour && source.format == kPixelFormat16Bit) {
    FinishHighColourPixels(pixels);
  }
  GdPicture picture{frame, {}, static_cast<std::int32_t>(size), source.width,
                    source.height};
  if (!encoder.Compress(pixels, picture.stream)) {
    return Status::Error("the picture could not be compressed: too large for "
                         "one stream, or out of memory");
  }
  const auto entry = static_cast<std::size_t>(frame);
  output.state.frameSize[entry] = picture.size;
  output.state.frameWidth[entry] = picture.width;
  output.state.frameHeight[entry] = picture.height;
  output.document.pictures.push_back(std::move(picture));
  return Status();
}

// Sizes the tables to the frame count and sets the range.
void PrepareFrames(ConversionState& state, std::int32_t frameCount,
                   std::int32_t startFrame, std::int32_t endFrame) {
  const auto count = static_cast<std::size_t>(frameCount);
  state.frameSize.assign(count, 0);
  state.frameWidth.assign(count, 0);
  state.frameHeight.assign(count, 0);
  state.startFrame = startFrame;
  state.endFrame = endFrame;
}

void NameSinglePicture(const ConversionRequest& request, ConversionOutput& output) {
  output.state.identifierName = DeriveIdentifierName(request.sourcePath);
  output.document.identifierName = output.state.identifierName;
  output.outputPath =
      request.outputDirectory / (request.outputBaseName + ".GD");
}

PictureSource SourceOf(const RasterImage& image,
                       std::vector<std::uint8_t>& pixels, PixelFormat format) {
  return {pixels, image.width, image.height, format};
}

// Gives up the BMP reader's decoded pixels when the conversion is over.
class BmpPixelsRelease {
 public:
  explicit BmpPixelsRelease(BmpImage& bmp) : bmp_(bmp) {}
  ~BmpPixelsRelease() {
    bmp_.decodedPixels = {};
    bmp_.width = 0;
    bmp_.height = 0;
  }
  BmpPixelsRelease(const BmpPixelsRelease&) = delete;
  BmpPixelsRelease& operator=(const BmpPixelsRelease&) = delete;

 private:
  BmpImage& bmp_;
};

// The BMP road: one picture, 24-bit pixels widened to 16 bits with the 1555
// flag; 16-bit pixels enter the stream as the reader leaves them.
Status ConvertBmp(ConversionTools& tools, const ConversionRequest& request,
                  ConversionOutput& output) {
  const std::filesystem::path path(request.sourcePath);
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) return status;
  BmpImage& bmp = tools.bmp;
  if (Status status = bmp.LoadFromBytes(file, request.flag1555); !status.ok()) {
    // The two classic refusals keep their exact wording.
    if (status.message() == kNotABitmapMessage ||
        status.message() == kUnsupportedBitmapMessage) {
      return status;
    }
    return InFile(path, std::move(status));
  }
  const BmpPixelsRelease release(bmp);
  if (request.flag1555 && bmp.pixelFormat == kPixelFormatRgb) bmp.ConvertTo16Bit();
  NameSinglePicture(request, output);
  PrepareFrames(output.state, 1, 0, kDefaultEndFrame);
  output.document.dataFormatCode = DataFormatCode(bmp.pixelFormat);
  return InFile(path, AddPicture(tools.encoder,
                                 SourceOf(bmp, bmp.decodedPixels, bmp.pixelFormat),
                                 0, false, output));
}

// A PCX picture: 24-bit and 256-colour pictures become 16-bit with the 1555
// flag; 16-colour pictures are written as 8-bit indices either way.
Status ConvertPcx(ConversionTools& tools, const ConversionRequest& request,
                  std::span<const std::uint8_t> file, ConversionOutput& output) {
  if (!HasPcxSignature(file)) {
    return Status::Error("not a PCX picture or an XSP sprite file");
  }
  PcxImage& pcx = tools.pcx;
  if (Status status = pcx.OpenFromBytes(file); !status.ok()) return status;
  if (request.flag1555) {
    if (pcx.pixelFormat == kPixelFormatRgb) {
      pcx.ConvertRgbTo16Bit();
    } else if (pcx.pixelFormat == kPixelFormatIndexed) {
      pcx.ConvertIndexedTo16Bit();
    }
  }
  const PixelFormat format =
      pcx.pixelFormat == kPixelFormat16Colour ? kPixelFormatIndexed : pcx.pixelFormat;
  NameSinglePicture(request, output);
  PrepareFrames(output.state, 1, 0, 0);
  output.document.dataFormatCode = DataFormatCode(format);
  return AddPicture(tools.encoder, SourceOf(pcx, pcx.pixels, format), 0, true,
                    output);
}

// The pixel format the records declare: that of the frame after the range
// when the file has one, as the frames were always read one past the end.
// All frames of a sprite file share one pixel kind, so a frame that fails to
// load there leaves the format of the last converted frame, which is the same.
PixelFormat DeclaredSpriteFormat(XspSprite& sprite, std::int32_t endFrame) {
  if (endFrame + 1 < sprite.frameCount) {
    static_cast<void>(sprite.LoadFrame(endFrame + 1));
  }
  return sprite.pixelFormat;
}

// A sprite file of several frames: frames startFrame to endFrame, each with
// its own array and record, and a pointer table. A file of one frame is a
// single picture, converted whole whatever the frame fields say.
Status ConvertSprite(ConversionTools& tools, const ConversionRequest& request,
                     std::vector<std::uint8_t> file, ConversionOutput& output) {
  XspSprite& sprite = tools.sprite;
  if (Status status = sprite.OpenFromBytes(std::move(file), request.flag1555);
      !status.ok()) {
    return status;
  }
  const std::int32_t frameCount = sprite.frameCount;
  if (frameCount < 1) return Status::Error("the sprite file holds no frames");
  const bool severalFrames = frameCount > 1;
  std::int32_t startFrame = 0;
  std::int32_t endFrame = 0;
  if (severalFrames) {
    if (Status status = ResolveFrameRange(request.startFrameText,
                                          request.endFrameText, frameCount,
                                          startFrame, endFrame);
        !status.ok()) {
      return status;
    }
  }
  NameSinglePicture(request, output);
  PrepareFrames(output.state, frameCount, startFrame, endFrame);
  output.document.perFrameRecords = severalFrames;
  for (std::int32_t frame = startFrame; frame <= endFrame; ++frame) {
    if (severalFrames) {
      if (Status status = sprite.LoadFrame(frame); !status.ok()) return status;
    }
    if (Status status = AddPicture(
            tools.encoder, SourceOf(sprite, sprite.pixels, sprite.pixelFormat),
            frame, true, output);
        !status.ok()) {
      return Status::Error("frame " + std::to_string(frame) + ": " +
                           status.message());
    }
  }
  output.document.dataFormatCode =
      DataFormatCode(DeclaredSpriteFormat(sprite, endFrame));
  if (startFrame != 0) {
    output.outputPath =
        request.outputDirectory /
        (request.outputBaseName + std::to_string(startFrame) + ".GD");
  }
  return Status();
}

// The PCX and sprite road: a file with the sprite magic is a sprite file,
// any other is read as PCX.
Status ConvertPcxOrSprite(ConversionTools& tools, const ConversionRequest& request,
                          ConversionOutput& output) {
  output.state.alphaLevel = AlphaLevel(request.alphaSelection);
  const std::filesystem::path path(request.sourcePath);
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) return status;
  if (XspSprite::HasMagic(file)) {
    return InFile(path, ConvertSprite(tools, request, std::move(file), output));
  }
  return InFile(path, ConvertPcx(tools, request, file, output));
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
    result.status = Status::Error(kSelectFileMessage);
    return result;
  }
  host.ClearReport();
  host.SetProgressPosition(0);

  ConversionTools tools{pcx_, sprite_, bmp_, encoder_};
  ConversionOutput output;  // range 0 to kDefaultEndFrame, level 0
  Status status = IsBmpPath(request.sourcePath)
                      ? ConvertBmp(tools, request, output)
                      : ConvertPcxOrSprite(tools, request, output);
  if (status.ok()) status = WriteGdFile(output, request.lineEnding, host);
  if (!status.ok()) {
    host.ShowMessage(status.message(), kApplicationCaption);
    result.status = std::move(status);
    return result;
  }
  state_ = std::move(output.state);
  result.writtenPath = output.outputPath;
  result.report = BuildReport(state_, output.document.dataFormatCode,
                              output.document.perFrameRecords);
  host.ShowReport(result.report);
  host.EnableOpen();
  return result;
}

}  // namespace krelt
