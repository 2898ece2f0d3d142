#include "image/picture_formats.h"

#include <algorithm>
#include <array>

#include "image/bmp_image.h"
#include "image/pcx_image.h"
#include "image/png_image.h"
#include "image/xsp_sprite.h"

namespace krelt {
namespace {

bool StartsAsPcx(std::span<const std::uint8_t> file) {
  return !file.empty() && file[0] == 0x0A;
}

// Checked in this order; the first match decides.
constexpr std::array<PictureFormat, 4> kFormats = {{
    {PictureKind::kBmp, "BMP", HasBmpSignature, ReadBmp},
    {PictureKind::kPng, "PNG", HasPngSignature, ReadPng},
    {PictureKind::kSprite, "XSP", HasXspMagic, nullptr},
    {PictureKind::kPcx, "PCX", StartsAsPcx, ReadPcx},
}};

constexpr std::size_t kDescribedBytes = 8;

}  // namespace

const PictureFormat* DetectPictureFormat(std::span<const std::uint8_t> file) {
  const auto found = std::find_if(kFormats.begin(), kFormats.end(),
                                  [file](const PictureFormat& format) {
                                    return format.matches(file);
                                  });
  return found == kFormats.end() ? nullptr : &*found;
}

std::string DescribeFirstBytes(std::span<const std::uint8_t> file) {
  if (file.empty()) return "it is empty";
  static const char kDigits[] = "0123456789ABCDEF";
  const std::span<const std::uint8_t> first = file.first(std::min(file.size(), kDescribedBytes));
  std::string hex;
  std::string text;
  for (const std::uint8_t byte : first) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
    text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
  }
  return "it starts with " + hex + " (\"" + text + "\")";
}

Status ReadFirstPicture(std::span<const std::uint8_t> file,
                        const ReadOptions& options, Picture& picture) {
  const PictureFormat* format = DetectPictureFormat(file);
  if (format == nullptr) {
    return Status::Error(ErrorKind::kUnsupported,
                         "not a picture Krelt reads: " + DescribeFirstBytes(file));
  }
  if (format->read != nullptr) return format->read(file, options, picture);
  XspFile sprite;
  if (Status status = ReadXspFile(file, sprite); !status.ok()) return status;
  XspFrame frame;
  if (Status status = ReadXspFrame(file, options, 0, frame); !status.ok()) {
    return status;
  }
  picture = std::move(frame.picture);
  return Status();
}

}  // namespace krelt
