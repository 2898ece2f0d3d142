#include "convert/conversion_pictures.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/frame_range.h"
#include "image/bmp_image.h"
#include "image/high_colour.h"

namespace krelt {
namespace {

std::string FileName(const std::string& path) {
  return PathToUtf8(PathFromUtf8(path).filename());
}

// How the picture's road makes and stores 16-bit pixels.
const HighColourRoad& RoadOf(bool bmpRoad) { return bmpRoad ? kBmpRoad : kPcxSpriteRoad; }

bool EndsWithBmp(std::string_view name) {
  constexpr std::string_view kBmp = ".bmp";
  if (name.size() < kBmp.size()) return false;
  return std::equal(kBmp.begin(), kBmp.end(), name.end() - kBmp.size(),
                    [](char expected, char c) {
                      return expected == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                    });
}

// "x.gif: a GIF picture; ..." for a known format Krelt does not read, else
// "x.pcx: not a BMP, PCX, PNG or XSP picture: it starts with ..."; a file
// named as a bitmap keeps the classic words.
std::string UnknownFormat(const std::string& fileName,
                          std::span<const std::uint8_t> file) {
  if (std::string foreign = DescribeForeignPicture(file); !foreign.empty()) return foreign;
  const std::string what = EndsWithBmp(fileName)
                               ? std::string(kNotABitmapMessage)
                               : "not a BMP, PCX, PNG or XSP picture";
  return what + ": " + DescribeFirstBytes(file);
}

// 16-colour pictures are written as 8-bit indices.
PixelFormat WrittenFormat(PixelFormat format) {
  return format == kPixelFormat16Colour ? kPixelFormatIndexed : format;
}

}  // namespace

Status ConversionPictures::Open(const ConversionRequest& request) {
  count_ = 0;
  frameCount_ = 0;
  heldFrame_ = -1;
  notices_.clear();
  palette_.reset();
  spriteFile_.clear();
  byteOrder_ = request.byteOrder;
  fileName_ = FileName(request.sourcePath);
  colourTable_ = request.colours.mode == ColourMode::kAsPicture ? nullptr : request.colours.table;
  mapping_ = request.colours.mapping;
  // A reduced table differs from the picture's colours by design.
  reportMissingColours_ = request.colours.mode == ColourMode::kMapToTable;
  if (colourTable_ && request.flag1555) {
    return Status::Error(ErrorKind::kUsage,
                         "a colour table gives palette indices, 1555 16-bit pixels: choose one");
  }
  std::vector<std::uint8_t> file;
  Status status = ReadFileBytes(PathFromUtf8(request.sourcePath), file);
  if (!status.ok()) return status;
  const PictureFormat* format = DetectPictureFormat(file);
  if (format == nullptr) {
    return InFile(Status::Error(ErrorKind::kUnsupported, UnknownFormat(fileName_, file)));
  }
  kind_ = format->kind;
  status = kind_ == PictureKind::kSprite
               ? OpenSprite(std::move(file), request)
               : OpenSingle(*format, file, ReadOptions{request.flag1555, request.maxPixelBytes});
  if (!status.ok()) {
    count_ = 0;
    return status;
  }
  if (declaredFormat_ == kPixelFormatIndexed) palette_ = single_.palette;
  return Status();
}

// One picture. With the "1555" flag the readers give palette pictures as
// 16-bit pixels; RGB pixels become 16-bit here, by the road's rule.
Status ConversionPictures::OpenSingle(const PictureFormat& format,
                                      std::span<const std::uint8_t> file,
                                      const ReadOptions& options) {
  Picture picture;
  if (Status status = format.read(file, options, picture); !status.ok()) {
    return InFile(std::move(status));
  }
  if (options.flag1555 && picture.pixelFormat == kPixelFormatRgb) {
    RgbPictureTo555(picture, RoadOf(bmpRoad()).colourTopBit);
  }
  for (const std::string& notice : picture.notices) {
    notices_.push_back(fileName_ + ": " + notice);
  }
  single_ = std::move(picture);
  if (Status status = MapOntoTable(""); !status.ok()) return status;
  SetSinglePicture(single_.pixelFormat, bmpRoad() ? kDefaultEndFrame : 0);
  return Status();
}

// A sprite file of one frame is a single picture, converted whole whatever
// the frame fields say; of several frames, the fields select the range.
// The pixel kind belongs to the file, so every frame (also one that fails
// to load) has the format frame 0 has.
Status ConversionPictures::OpenSprite(std::vector<std::uint8_t> file,
                                      const ConversionRequest& request) {
  XspFile sprite;
  XspFrame frame;
  options_ = ReadOptions{request.flag1555, request.maxPixelBytes};
  if (Status status = ReadXspFile(file, sprite); !status.ok()) return InFile(std::move(status));
  if (Status status = ReadXspFrame(file, options_, 0, frame); !status.ok()) {
    return InFile(std::move(status));  // the reader names the frame
  }
  spriteFile_ = std::move(file);
  single_ = std::move(frame.picture);
  if (Status status = MapOntoTable("frame 0: "); !status.ok()) return status;
  SetSinglePicture(single_.pixelFormat, 0);
  frameCount_ = sprite.frameCount;
  if (frameCount_ == 1) return Status();
  if (Status status = ResolveFrameRange(request.startFrameText,
                                        request.endFrameText, frameCount_,
                                        startFrame_, endFrame_);
      !status.ok()) {
    return InFile(std::move(status));
  }
  count_ = static_cast<std::size_t>(endFrame_ - startFrame_) + 1;
  return Status();
}

void ConversionPictures::SetSinglePicture(PixelFormat format,
                                          std::int32_t endFrame) {
  count_ = 1;
  frameCount_ = 1;
  startFrame_ = 0;
  endFrame_ = endFrame;
  declaredFormat_ = WrittenFormat(format);
  heldFrame_ = 0;
}

Status ConversionPictures::Load(std::size_t index, ConvertedPicture& picture) {
  Picture read;
  if (Status status = Read(index, read); !status.ok()) return status;
  const std::int32_t frame =
      kind_ == PictureKind::kSprite ? startFrame_ + static_cast<std::int32_t>(index) : 0;
  picture = {frame, read.width, read.height, read.pixelFormat, std::move(read.pixels)};
  return Finish(picture);
}

Status ConversionPictures::Read(std::size_t index, Picture& picture) {
  if (index >= count_) {
    return Status::Error(ErrorKind::kUsage, "no picture " + std::to_string(index));
  }
  if (kind_ == PictureKind::kSprite) {
    if (Status status = ReadSpriteFrame(startFrame_ + static_cast<std::int32_t>(index));
        !status.ok()) {
      return status;
    }
  } else if (heldFrame_ != 0) {
    return InFile(Status::Error(ErrorKind::kUsage, "the picture was loaded before"));
  }
  heldFrame_ = -1;
  picture = std::move(single_);
  notices_.insert(notices_.end(), heldNotices_.begin(), heldNotices_.end());
  heldNotices_.clear();
  return Status();
}

Status ConversionPictures::ReadSpriteFrame(std::int32_t frame) {
  if (heldFrame_ == frame) return Status();
  XspFrame read;
  if (Status status = ReadXspFrame(spriteFile_, options_, frame, read); !status.ok()) {
    return InFile(std::move(status));  // the reader names the frame
  }
  single_ = std::move(read.picture);
  return MapOntoTable("frame " + std::to_string(frame) + ": ");
}

// With a colour table, the held picture becomes indices of the table, its
// palette the table's; `where` names a sprite frame in notices and errors.
Status ConversionPictures::MapOntoTable(std::string_view where) {
  heldNotices_.clear();
  if (!colourTable_) return Status();
  std::vector<std::uint8_t> indices;
  MappingReport report;
  if (Status status = MapPicture(single_, *colourTable_, mapping_, indices, report);
      !status.ok()) {
    return InFile(status.WithMessage(std::string(where) + status.message()));
  }
  single_.pixels = std::move(indices);
  single_.pixelFormat = kPixelFormatIndexed;
  single_.palette = SixBitPalette(*colourTable_);
  single_.alpha.clear();
  if (!reportMissingColours_) report.missingColours = 0;
  for (const std::string& notice : MappingNotices(report, mapping_)) {
    heldNotices_.push_back(fileName_ + ": " + std::string(where) + notice);
  }
  return Status();
}

// Checks the picture's byte count against its pixels, keeps exactly that
// many bytes and finishes 16-bit pixels by the road's rule, in the stored order.
Status ConversionPictures::Finish(ConvertedPicture& picture) const {
  picture.format = WrittenFormat(picture.format);
  if (picture.format < kPixelFormatIndexed || picture.format > kPixelFormatRgb) {
    return PictureFault(picture, "unsupported pixel layout " +
                                     std::to_string(picture.format));
  }
  if (picture.width < 0 || picture.height < 0) {
    return PictureFault(picture, "invalid picture size " +
                                     std::to_string(picture.width) + " x " +
                                     std::to_string(picture.height));
  }
  const std::int64_t size =
      std::int64_t{picture.width} * picture.height * picture.format;
  if (size > std::numeric_limits<std::int32_t>::max()) {
    return PictureFault(picture,
                        "picture too large: " + std::to_string(size) + " bytes");
  }
  if (static_cast<std::uint64_t>(size) > picture.pixels.size()) {
    return PictureFault(picture, "the picture's pixel data are incomplete");
  }
  picture.pixels.resize(static_cast<std::size_t>(size));
  if (picture.format != kPixelFormat16Bit) return Status();
  FinishHighColour(picture.pixels, RoadOf(bmpRoad()),
                   storedByteOrder() == ByteOrder::kHighFirst);
  return Status();
}

ByteOrder ConversionPictures::RoadByteOrder() const {
  return RoadOf(bmpRoad()).highByteFirst ? ByteOrder::kHighFirst : ByteOrder::kLowFirst;
}

ByteOrder ConversionPictures::storedByteOrder() const {
  return byteOrder_ == ByteOrder::kAsRoad ? RoadByteOrder() : byteOrder_;
}

Status ConversionPictures::PictureFault(const ConvertedPicture& picture,
                                        const std::string& message) const {
  if (kind_ != PictureKind::kSprite) return InFile(Status::Error(ErrorKind::kDamaged, message));
  return InFile(
      Status::Error(ErrorKind::kDamaged, "frame " + std::to_string(picture.frame) + ": " + message));
}

// "name.ext: message" for a failed status; success passes through.
Status ConversionPictures::InFile(Status status) const {
  if (status.ok()) return status;
  return status.WithMessage(fileName_ + ": " + status.message());
}

}  // namespace krelt
