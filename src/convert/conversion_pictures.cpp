#include "convert/conversion_pictures.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/frame_range.h"

namespace krelt {
namespace {

std::string FileName(const std::string& path) {
  return PathToUtf8(PathFromUtf8(path).filename());
}

// 16-bit pixels for the firmware: bit 15 set on every non-zero pixel, each
// value stored high byte first. Zero pixels stay zero.
void FinishHighColourPixels(std::vector<std::uint8_t>& pixels) {
  for (std::size_t i = 0; i + 1 < pixels.size(); i += 2) {
    std::uint16_t value =
        static_cast<std::uint16_t>(pixels[i] | (pixels[i + 1] << 8));
    if (value != 0) value |= 0x8000;
    pixels[i] = static_cast<std::uint8_t>(value >> 8);
    pixels[i + 1] = static_cast<std::uint8_t>(value & 0xFF);
  }
}

// 16-colour pictures are written as 8-bit indices.
PixelFormat WrittenFormat(PixelFormat format) {
  return format == kPixelFormat16Colour ? kPixelFormatIndexed : format;
}

}  // namespace

bool IsBmpPath(std::string_view path) {
  constexpr std::string_view kBmp = ".bmp";
  if (path.size() < kBmp.size()) return false;
  return std::equal(kBmp.begin(), kBmp.end(), path.end() - kBmp.size(),
                    [](char expected, char c) {
                      return expected == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                    });
}

Status ConversionPictures::Open(const ConversionRequest& request) {
  count_ = 0;
  frameCount_ = 0;
  heldFrame_ = -1;
  fileName_ = FileName(request.sourcePath);
  std::vector<std::uint8_t> file;
  Status status = ReadFileBytes(PathFromUtf8(request.sourcePath), file);
  if (!status.ok()) return status;
  if (IsBmpPath(request.sourcePath)) {
    status = OpenBmp(file, request.flag1555);
  } else if (XspSprite::HasMagic(file)) {
    status = OpenSprite(std::move(file), request);
  } else {
    status = InFile(OpenPcx(file, request.flag1555));
  }
  if (!status.ok()) count_ = 0;
  return status;
}

// One picture; 24-bit pixels become 16-bit with the "1555" flag (which has
// the reader widen 8-bit pictures to 24 bits first).
Status ConversionPictures::OpenBmp(std::span<const std::uint8_t> file,
                                   bool flag1555) {
  road_ = Road::kBmp;
  if (Status status = bmp_.LoadFromBytes(file, flag1555); !status.ok()) {
    // The two classic refusals keep their exact wording.
    if (status.message() == kNotABitmapMessage ||
        status.message() == kUnsupportedBitmapMessage) {
      return status;
    }
    return InFile(std::move(status));
  }
  if (flag1555 && bmp_.pixelFormat == kPixelFormatRgb) bmp_.ConvertTo16Bit();
  SetSinglePicture(bmp_.pixelFormat, kDefaultEndFrame);
  return Status();
}

// One picture; 24-bit and 256-colour pictures become 16-bit with the
// "1555" flag.
Status ConversionPictures::OpenPcx(std::span<const std::uint8_t> file,
                                   bool flag1555) {
  road_ = Road::kPcx;
  if (!HasPcxSignature(file)) {
    return Status::Error(ErrorKind::kUnsupported, "not a PCX picture or an XSP sprite file");
  }
  if (Status status = pcx_.OpenFromBytes(file); !status.ok()) return status;
  if (flag1555) {
    if (pcx_.pixelFormat == kPixelFormatRgb) {
      pcx_.ConvertRgbTo16Bit();
    } else if (pcx_.pixelFormat == kPixelFormatIndexed) {
      pcx_.ConvertIndexedTo16Bit();
    }
  }
  SetSinglePicture(pcx_.pixelFormat, 0);
  return Status();
}

// A sprite file of one frame is a single picture, converted whole whatever
// the frame fields say; of several frames, the fields select the range.
// The pixel kind belongs to the file, so every frame (also one that fails
// to load) has the format frame 0 has.
Status ConversionPictures::OpenSprite(std::vector<std::uint8_t> file,
                                      const ConversionRequest& request) {
  road_ = Road::kSprite;
  if (Status status = sprite_.OpenFromBytes(std::move(file), request.flag1555);
      !status.ok()) {
    return InFile(std::move(status));
  }
  if (sprite_.frameCount < 1) {
    return InFile(Status::Error(ErrorKind::kDamaged, "the sprite file holds no frames"));
  }
  SetSinglePicture(sprite_.pixelFormat, 0);
  frameCount_ = sprite_.frameCount;
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
  if (index >= count_) {
    return Status::Error(ErrorKind::kDamaged, "no picture " + std::to_string(index));
  }
  if (road_ == Road::kSprite) {
    return LoadSpriteFrame(startFrame_ + static_cast<std::int32_t>(index),
                           picture);
  }
  if (heldFrame_ != 0) {
    return InFile(Status::Error(ErrorKind::kDamaged, "the picture was loaded before"));
  }
  heldFrame_ = -1;
  if (road_ == Road::kBmp) {
    picture = {0, bmp_.width, bmp_.height, bmp_.pixelFormat,
               std::move(bmp_.decodedPixels)};
  } else {
    picture = {0, pcx_.width, pcx_.height, pcx_.pixelFormat,
               std::move(pcx_.pixels)};
  }
  return Finish(picture);
}

Status ConversionPictures::LoadSpriteFrame(std::int32_t frame,
                                           ConvertedPicture& picture) {
  if (heldFrame_ != frame) {
    if (Status status = sprite_.LoadFrame(frame); !status.ok()) {
      return InFile(std::move(status));  // the reader names the frame
    }
  }
  heldFrame_ = -1;
  picture = {frame, sprite_.width, sprite_.height, sprite_.pixelFormat,
             std::move(sprite_.pixels)};
  return Finish(picture);
}

// Checks the picture's byte count against its pixels, keeps exactly that
// many bytes and finishes 16-bit pixels of the PCX and sprite road.
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
  if (road_ != Road::kBmp && picture.format == kPixelFormat16Bit) {
    FinishHighColourPixels(picture.pixels);
  }
  return Status();
}

Status ConversionPictures::PictureFault(const ConvertedPicture& picture,
                                        const std::string& message) const {
  if (road_ != Road::kSprite) return InFile(Status::Error(ErrorKind::kDamaged, message));
  return InFile(
      Status::Error(ErrorKind::kDamaged, "frame " + std::to_string(picture.frame) + ": " + message));
}

// "name.ext: message" for a failed status; success passes through.
Status ConversionPictures::InFile(Status status) const {
  if (status.ok()) return status;
  return status.WithMessage(fileName_ + ": " + status.message());
}

}  // namespace krelt
