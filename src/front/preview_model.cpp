#include "front/preview_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <iterator>
#include <utility>

#include "common/file_io.h"
#include "common/utf8_path.h"

namespace krelt {
namespace {

constexpr std::string_view kNoPictureTitle = "No picture";
constexpr std::string_view kInputTitle = "Input picture";
constexpr std::string_view kDecodedTitle = "Decoded from ";
constexpr std::string_view kNoPreviewTitle = "No preview";
constexpr std::string_view kUnexpectedFailure = "The preview failed unexpectedly: ";

std::uint32_t Opaque(const std::uint8_t* rgb) {
  return 0xFF000000u | std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
}

std::uint32_t Premultiplied(const std::uint8_t* rgba) {
  const std::uint32_t alpha = rgba[3];
  const auto scaled = [alpha](std::uint8_t component) {
    return (component * alpha + 127) / 255;
  };
  return alpha << 24 | scaled(rgba[0]) << 16 | scaled(rgba[1]) << 8 | scaled(rgba[2]);
}

std::string SizeText(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + " \u00d7 " + std::to_string(height);
}

// "24.9%": the stream's share of the input, "-" without input. Halves
// round up: 0.25 shows as 0.3%.
std::string Ratio(std::uint64_t stream, std::uint64_t input) {
  if (input == 0) return "-";
  char text[32];
  double percent = 100.0 * static_cast<double>(stream) / static_cast<double>(input);
  // Only whole quarters are exact halves at one decimal; a step past them
  // rounds them up rather than to even.
  if (std::fmod(percent * 4, 1.0) == 0.0) percent = std::nextafter(percent, HUGE_VAL);
  const auto written = std::to_chars(std::begin(text), std::end(text), percent,
                                     std::chars_format::fixed, 1);
  return std::string(text, written.ptr) + "%";
}

std::string_view InputFormatText(PixelFormat format) {
  switch (format) {
    case kPixelFormat16Colour: return "16 colours";
    case kPixelFormatIndexed: return "8-bit indices";
    case kPixelFormat16Bit: return "16-bit pixels";
    default: return "24-bit RGB";
  }
}

// "file: 4 records, input 4096 bytes, stream 1020 bytes (24.9%)".
std::string FileTotals(const GdSource& source) {
  std::uint64_t input = 0;
  std::uint64_t stream = 0;
  for (const GdRecord& record : source.records) {
    input += static_cast<std::uint64_t>(std::max(record.size, 0));
    if (const GdArray* array = source.FindArray(record.dataName)) stream += array->bytes.size();
  }
  const std::size_t count = source.records.size();
  return "file: " + std::to_string(count) + (count == 1 ? " record" : " records") +
         ", input " + std::to_string(input) + " bytes, stream " + std::to_string(stream) +
         " bytes (" + Ratio(stream, input) + ")";
}

PreviewScreen FailureScreen(std::string message) {
  return {std::string(kNoPreviewTitle), nullptr, std::move(message), {}};
}

PreviewScreen RecordScreen(const DecodedRecord& decoded, const std::string& fileTotals) {
  if (!decoded.status.ok()) return FailureScreen(decoded.status.message());
  const VerifiedRecord& verified = decoded.record;
  const GdRecord& record = verified.record;
  return {std::string(kDecodedTitle) + record.name, decoded.image,
          SizeText(record.width, record.height) + ", " +
              std::string(DataFormatLabel(record.dataFormat)) + "\ninput " +
              std::to_string(verified.rawBytes) + " bytes, stream " +
              std::to_string(verified.compressedBytes) + " bytes (" +
              Ratio(verified.compressedBytes, verified.rawBytes) + ")\n" + fileTotals,
          {}};
}

PreviewScreen InputScreen(const std::string& picturePath) {
  std::vector<std::uint8_t> file;
  Picture read;
  Status status = ReadFileBytes(PathFromUtf8(picturePath), file);
  if (status.ok()) status = ReadFirstPicture(file, ReadOptions{}, read);
  if (!status.ok()) return FailureScreen(status.message());
  return {std::string(kInputTitle),
          std::make_shared<const ScreenImage>(ToScreenImage(ShownPicture(read))),
          SizeText(read.width, read.height) + ", " +
              std::string(InputFormatText(read.pixelFormat)) + " (not converted yet)",
          {}};
}

}  // namespace

ScreenImage ToScreenImage(const PngPicture& picture) {
  const std::size_t bytesPerPixel = PngBytesPerPixel(picture.colour);
  if (picture.width <= 0 || picture.height <= 0) return {};
  const std::size_t count =
      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
  if (picture.pixels.size() < count * bytesPerPixel) return {};
  ScreenImage image{picture.width, picture.height, std::vector<std::uint32_t>(count),
                    picture.colour == PngColour::kRgba};
  for (std::size_t index = 0; index < count; ++index) {
    const std::uint8_t* pixel = picture.pixels.data() + index * bytesPerPixel;
    switch (picture.colour) {
      case PngColour::kPalette:
        image.pixels[index] = Opaque(picture.palette.data() + 3 * std::size_t{pixel[0]});
        break;
      case PngColour::kRgb:
        image.pixels[index] = Opaque(pixel);
        break;
      case PngColour::kRgba:
        image.pixels[index] = Premultiplied(pixel);
        break;
    }
  }
  return image;
}

DecodedRecord DecodeRecord(const GdSource& source, const GdRecord& record,
                           const ExtractOptions& options) {
  DecodedRecord decoded;
  std::vector<std::uint8_t> pixels;
  PngPicture picture;
  decoded.status = VerifyRecord(source, record, decoded.record, pixels);
  if (decoded.status.ok()) decoded.status = RecordPicture(decoded.record, pixels, options, picture);
  if (decoded.status.ok()) decoded.image = std::make_shared<const ScreenImage>(ToScreenImage(picture));
  return decoded;
}

// An unforeseen exception becomes the preview's failure, as a conversion's
// does.
ConvertedPreview LoadConvertedPreview(const ConversionResult& result) {
  ConvertedPreview converted;
  try {
    converted.status = ReadGdSource(result.writtenPath, converted.source);
    if (!converted.status.ok()) return converted;
    converted.extractOptions = ConversionExtractOptions(result);
    converted.firstFrame = result.startFrame;
    converted.fileTotals = FileTotals(converted.source);
    if (!converted.source.records.empty()) {
      converted.first = DecodeRecord(converted.source, converted.source.records.front(),
                                     converted.extractOptions);
    }
  } catch (const std::exception& error) {
    converted.status =
        Status::Error(ErrorKind::kIo, std::string(kUnexpectedFailure) + error.what());
  }
  return converted;
}

// The fitted size is Qt's KeepAspectRatio scaling, so both front ends
// place a picture alike.
Placement PictureRect(Extent image, std::int32_t zoom, Extent view) {
  if (image.width <= 0 || image.height <= 0) return {};
  if (zoom > 0) return {0, 0, {image.width * zoom, image.height * zoom}};
  const std::int64_t widthForHeight =
      std::int64_t{view.height} * image.width / image.height;
  const Extent fitted =
      widthForHeight <= view.width
          ? Extent{static_cast<std::int32_t>(widthForHeight), view.height}
          : Extent{view.width,
                   static_cast<std::int32_t>(std::int64_t{view.width} * image.height / image.width)};
  return {(view.width - fitted.width) / 2, (view.height - fitted.height) / 2, fitted};
}

Extent PictureViewSize(Extent image, std::int32_t zoom) {
  if (zoom > 0 && image.width > 0 && image.height > 0) {
    return {image.width * zoom, image.height * zoom};
  }
  return {kPreviewMinimumSide, kPreviewMinimumSide};
}

PreviewModel::PreviewModel(PreviewView& view, PostToGui post)
    : view_(view), post_(std::move(post)) {
  screen_.title = kNoPictureTitle;
}

void PreviewModel::ShowInput(const std::string& picturePath) {
  converted_.reset();
  screen_.frames.enabled = false;
  view_.ShowPreview(screen_);
  Produce([picturePath] { return InputScreen(picturePath); });
}

// Shown at once: the worker decoded the first record. A picture still
// being read for an earlier request is not shown.
void PreviewModel::ShowConverted(std::shared_ptr<const ConvertedPreview> converted) {
  shownRequest_ = ++request_;
  if (!converted->status.ok()) {
    converted_.reset();
    screen_.frames.enabled = false;
    Show(FailureScreen(converted->status.message()));
    return;
  }
  converted_ = std::move(converted);
  const auto count = static_cast<std::int32_t>(converted_->source.records.size());
  const std::int32_t first = converted_->firstFrame;
  screen_.frames = {first, std::max(first, first + count - 1), first, count > 1};
  if (count == 0) {
    view_.ShowPreview(screen_);
    return;
  }
  Show(RecordScreen(converted_->first, converted_->fileTotals));
}

void PreviewModel::ShowRecord(std::int32_t record) {
  if (converted_ != nullptr) ShowFrame(converted_->firstFrame + record);
}

void PreviewModel::ShowFrame(std::int32_t frame) {
  if (converted_ == nullptr || frame == screen_.frames.value) return;
  const std::int64_t index = std::int64_t{frame} - converted_->firstFrame;
  if (index < 0 || index >= static_cast<std::int64_t>(converted_->source.records.size())) return;
  screen_.frames.value = frame;
  view_.ShowPreview(screen_);
  Produce([converted = converted_, record = static_cast<std::size_t>(index)] {
    const GdSource& source = converted->source;
    return RecordScreen(DecodeRecord(source, source.records[record], converted->extractOptions),
                        converted->fileTotals);
  });
}

void PreviewModel::Produce(std::function<PreviewScreen()> work) {
  const std::uint64_t request = ++request_;
  thread_.Submit([this, request, work = std::move(work)] {
    PreviewScreen screen;
    try {
      screen = work();
    } catch (const std::exception& error) {
      screen = FailureScreen(std::string(kUnexpectedFailure) + error.what());
    }
    post_([this, request, screen = std::move(screen)] {
      if (request != request_) return;
      shownRequest_ = request;
      Show(screen);
    });
  });
}

void PreviewModel::Show(PreviewScreen screen) {
  screen.frames = screen_.frames;
  screen_ = std::move(screen);
  view_.ShowPreview(screen_);
}

}  // namespace krelt
