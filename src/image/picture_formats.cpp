#include "image/picture_formats.h"

#include <algorithm>
#include <array>
#include <string_view>

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

bool StartsWith(std::span<const std::uint8_t> file, std::string_view prefix) {
  return file.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), file.begin(),
                    [](char expected, std::uint8_t byte) {
                      return static_cast<std::uint8_t>(expected) == byte;
                    });
}

bool IsGif(std::span<const std::uint8_t> file) {
  return StartsWith(file, "GIF87a") || StartsWith(file, "GIF89a");
}

bool IsJpeg(std::span<const std::uint8_t> file) { return StartsWith(file, "\xFF\xD8\xFF"); }

bool IsTiff(std::span<const std::uint8_t> file) {
  using namespace std::string_view_literals;
  return StartsWith(file, "II*\0"sv) || StartsWith(file, "MM\0*"sv);
}

bool IsWebP(std::span<const std::uint8_t> file) {
  return file.size() >= 12 && StartsWith(file, "RIFF") && StartsWith(file.subspan(8), "WEBP");
}

bool IsQoi(std::span<const std::uint8_t> file) { return StartsWith(file, "qoif"); }

// 'P', the digit of the kind and white space.
bool IsNetpbm(std::span<const std::uint8_t> file, std::string_view digits) {
  return file.size() >= 3 && file[0] == 'P' &&
         digits.find(static_cast<char>(file[1])) != std::string_view::npos &&
         std::string_view(" \t\r\n").find(static_cast<char>(file[2])) != std::string_view::npos;
}

bool IsPnm(std::span<const std::uint8_t> file) { return IsNetpbm(file, "123456"); }
bool IsPam(std::span<const std::uint8_t> file) { return IsNetpbm(file, "7"); }

// Picture formats Krelt does not read, named in the message refusing them.
struct ForeignFormat {
  std::string_view name;
  bool (*matches)(std::span<const std::uint8_t> file);
};

constexpr std::array<ForeignFormat, 7> kForeignFormats = {{
    {"GIF", IsGif},
    {"JPEG", IsJpeg},
    {"TIFF", IsTiff},
    {"WebP", IsWebP},
    {"QOI", IsQoi},
    {"PNM", IsPnm},
    {"PAM", IsPam},
}};

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

std::string DescribeForeignPicture(std::span<const std::uint8_t> file) {
  const auto found = std::find_if(kForeignFormats.begin(), kForeignFormats.end(),
                                  [file](const ForeignFormat& format) {
                                    return format.matches(file);
                                  });
  if (found == kForeignFormats.end()) return {};
  return "a " + std::string(found->name) +
         " picture; Krelt reads BMP, PCX, PNG and XSP: save it as PNG";
}

Status ReadFirstPicture(std::span<const std::uint8_t> file,
                        const ReadOptions& options, Picture& picture) {
  const PictureFormat* format = DetectPictureFormat(file);
  if (format == nullptr) {
    std::string foreign = DescribeForeignPicture(file);
    return Status::Error(ErrorKind::kUnsupported,
                         foreign.empty() ? "not a picture Krelt reads: " + DescribeFirstBytes(file)
                                         : std::move(foreign));
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
