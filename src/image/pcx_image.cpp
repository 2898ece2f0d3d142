#include "image/pcx_image.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "image/pixel_packing.h"
#include "image/reader_support.h"
#include "image/xsp_sprite.h"

namespace krelt {
namespace {

using image_detail::CheckPictureSize;
using image_detail::LoadLe16;

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 768;
constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kRunLengthEncoding = 1;
constexpr std::uint8_t kRunCodeMask = 0xC0;
constexpr std::uint8_t kRunLengthBits = 0x3F;

constexpr const char* kTruncatedMessage =
    "the run-length data are damaged or truncated";

// The header fields the decoder uses.
struct PcxHeader {
  std::uint8_t bitsPerPixel = 0;
  std::uint8_t planes = 0;
  std::uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  std::uint16_t bytesPerLine = 0;
};

// A decoded picture before it replaces the record's.
struct DecodedPicture {
  std::vector<std::uint8_t> pixels;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat pixelFormat = kPixelFormatIndexed;
  std::array<std::uint8_t, 768> palette{};  // 6-bit values
};

PcxHeader ParseHeader(std::span<const std::uint8_t> file) {
  PcxHeader header;
  header.bitsPerPixel = file[3];
  header.xmin = LoadLe16(&file[4]);
  header.ymin = LoadLe16(&file[6]);
  header.xmax = LoadLe16(&file[8]);
  header.ymax = LoadLe16(&file[10]);
  header.planes = file[65];
  header.bytesPerLine = LoadLe16(&file[66]);
  return header;
}

// Runs through run-length code from `position`, producing `length` bytes
// into `out`, or only counting them when `out` is null. A run reaching past
// the end is cut there. False when the data end first.
bool DecodeRuns(std::span<const std::uint8_t> coded, std::size_t& position,
                std::uint8_t* out, std::size_t length) {
  std::size_t filled = 0;
  while (filled < length) {
    if (position >= coded.size()) return false;
    const std::uint8_t code = coded[position++];
    std::size_t count = 1;
    std::uint8_t value = code;
    if ((code & kRunCodeMask) == kRunCodeMask) {
      if (position >= coded.size()) return false;
      count = code & kRunLengthBits;
      value = coded[position++];
    }
    count = std::min(count, length - filled);
    if (out != nullptr) std::memset(out + filled, value, count);
    filled += count;
  }
  return true;
}

// One continuous stream filling `length` bytes; runs cross line ends. The
// data are checked to fill the whole buffer before it is allocated.
Status DecodeContinuous(std::span<const std::uint8_t> coded, std::size_t length,
                        std::vector<std::uint8_t>& out) {
  std::size_t position = 0;
  if (!DecodeRuns(coded, position, nullptr, length)) {
    return Status::Error(ErrorKind::kDamaged, kTruncatedMessage);
  }
  out.assign(length, 0);
  position = 0;
  DecodeRuns(coded, position, out.data(), length);
  return Status();
}

// Scan lines decoded each on its own: a run past a line's end is cut there
// and the next line starts with the next code byte. The first `width` bytes
// of each line go to `out`; a null `out` only checks that the data suffice.
bool DecodeScanLines(std::span<const std::uint8_t> coded, std::size_t lineBytes,
                     std::size_t width, std::size_t height, std::uint8_t* out) {
  std::vector<std::uint8_t> line(out != nullptr ? lineBytes : 0);
  std::size_t position = 0;
  for (std::size_t y = 0; y < height; ++y) {
    if (!DecodeRuns(coded, position, out != nullptr ? line.data() : nullptr,
                    lineBytes)) {
      return false;
    }
    if (out != nullptr) std::copy_n(line.begin(), width, out + y * width);
  }
  return true;
}

Status CheckDecodedSize(std::uint64_t bytes) {
  if (bytes > kMaxPixelBytes) {
    return Status::Error(ErrorKind::kTooLarge, "the PCX scan lines are too large: " +
                         std::to_string(bytes) + " bytes");
  }
  return Status();
}

void ScalePalette(const std::uint8_t* stored, std::size_t bytes,
                  std::uint8_t* palette) {
  for (std::size_t i = 0; i < bytes; ++i) palette[i] = stored[i] >> 2;
}

// "1 plane", "3 planes".
std::string CountText(unsigned count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

Status BytesPerLineTooSmall(const PcxHeader& header, std::int64_t width) {
  return Status::Error(ErrorKind::kDamaged, "bytes per line (" + std::to_string(header.bytesPerLine) +
                       ") too small for a width of " + std::to_string(width) +
                       " pixels");
}

// 1 bit per pixel in 1 to 4 planes: the planes of each pixel add up to an
// index 0..15; palette entries 0..15 come from the header.
Status DecodePlanar(std::span<const std::uint8_t> file, const PcxHeader& header,
                    DecodedPicture& picture) {
  const std::int64_t width = header.xmax - header.xmin + 1;
  const std::int64_t height = header.ymax - header.ymin + 1;
  if (Status status = CheckPictureSize(width, height, 1); !status.ok()) {
    return status;
  }
  if (header.bytesPerLine < (width + 7) / 8) {
    return BytesPerLineTooSmall(header, width);
  }
  const std::size_t lineBytes = header.bytesPerLine;
  const std::size_t scanLineBytes = lineBytes * header.planes;
  if (Status status = CheckDecodedSize(scanLineBytes * height); !status.ok()) {
    return status;
  }
  std::vector<std::uint8_t> planes;
  if (Status status = DecodeContinuous(file.subspan(kHeaderSize),
                                       scanLineBytes * height, planes);
      !status.ok()) {
    return status;
  }
  picture.pixels.assign(static_cast<std::size_t>(width * height), 0);
  std::uint8_t* target = picture.pixels.data();
  for (std::int64_t y = 0; y < height; ++y) {
    const std::uint8_t* scanLine = &planes[y * scanLineBytes];
    for (std::int64_t x = 0; x < width; ++x, ++target) {
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x % 8));
      for (unsigned plane = 0; plane < header.planes; ++plane) {
        if (scanLine[plane * lineBytes + x / 8] & mask) {
          *target = static_cast<std::uint8_t>(*target | (1u << plane));
        }
      }
    }
  }
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixelFormat = kPixelFormat16Colour;
  ScalePalette(&file[16], 48, picture.palette.data());
  return Status();
}

// 8 bits in one plane; the 768-byte palette ends the file. Each scan line is
// decoded on its own: a run past its end is cut and the padding dropped.
Status DecodeIndexed(std::span<const std::uint8_t> file, const PcxHeader& header,
                     DecodedPicture& picture) {
  const std::int64_t width = header.xmax - header.xmin + 1;
  const std::int64_t height = header.ymax - header.ymin + 1;
  if (Status status = CheckPictureSize(width, height, 1); !status.ok()) {
    return status;
  }
  if (header.bytesPerLine < width) return BytesPerLineTooSmall(header, width);
  if (file.size() < kHeaderSize + kPaletteSize) {
    return Status::Error(ErrorKind::kDamaged, "the file ends before the 256-colour palette");
  }
  const std::span<const std::uint8_t> coded =
      file.subspan(kHeaderSize, file.size() - kHeaderSize - kPaletteSize);
  const auto columns = static_cast<std::size_t>(width);
  const auto rows = static_cast<std::size_t>(height);
  if (!DecodeScanLines(coded, header.bytesPerLine, columns, rows, nullptr)) {
    return Status::Error(ErrorKind::kDamaged, kTruncatedMessage);
  }
  picture.pixels.resize(columns * rows);
  DecodeScanLines(coded, header.bytesPerLine, columns, rows,
                  picture.pixels.data());
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixelFormat = kPixelFormatIndexed;
  ScalePalette(&file[file.size() - kPaletteSize], kPaletteSize,
               picture.palette.data());
  return Status();
}

// 8 bits in three planes; the width is the bytes per line, so padding bytes
// become a column of the picture.
Status DecodeRgb(std::span<const std::uint8_t> file, const PcxHeader& header,
                 DecodedPicture& picture) {
  if (header.bytesPerLine == 0) {
    return Status::Error(ErrorKind::kDamaged, "bytes per line is 0");
  }
  const std::int64_t width = header.bytesPerLine;
  const std::int64_t height = header.ymax - header.ymin + 1;
  if (Status status = CheckPictureSize(width, height, 3); !status.ok()) {
    return status;
  }
  std::vector<std::uint8_t> lines;
  if (Status status = DecodeContinuous(file.subspan(kHeaderSize),
                                       static_cast<std::size_t>(3 * width * height),
                                       lines);
      !status.ok()) {
    return status;
  }
  picture.pixels.resize(lines.size());
  std::uint8_t* target = picture.pixels.data();
  for (std::int64_t y = 0; y < height; ++y) {
    const std::uint8_t* red = &lines[3 * y * width];
    const std::uint8_t* green = red + width;
    const std::uint8_t* blue = green + width;
    for (std::int64_t x = 0; x < width; ++x, target += 3) {
      target[0] = red[x];
      target[1] = green[x];
      target[2] = blue[x];
    }
  }
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixelFormat = kPixelFormatRgb;
  return Status();
}

Status Decode(std::span<const std::uint8_t> file, const PcxHeader& header,
              DecodedPicture& picture) {
  if (header.xmax < header.xmin || header.ymax < header.ymin) {
    return Status::Error(ErrorKind::kDamaged, 
        "invalid PCX window: x " + std::to_string(header.xmin) + ".." +
        std::to_string(header.xmax) + ", y " + std::to_string(header.ymin) +
        ".." + std::to_string(header.ymax));
  }
  if (header.bitsPerPixel == 1 && header.planes >= 1 && header.planes <= 4) {
    return DecodePlanar(file, header, picture);
  }
  if (header.bitsPerPixel == 8 && header.planes == 1) {
    return DecodeIndexed(file, header, picture);
  }
  if (header.bitsPerPixel == 8 && header.planes == 3) {
    return DecodeRgb(file, header, picture);
  }
  return Status::Error(ErrorKind::kUnsupported, "unsupported PCX variant: " +
                       CountText(header.bitsPerPixel, "bit") + " per pixel, " +
                       CountText(header.planes, "plane"));
}

}  // namespace

bool HasPcxSignature(std::span<const std::uint8_t> file) {
  return file.size() >= 3 && file[0] == kManufacturer &&
         file[2] == kRunLengthEncoding;
}

Status PcxImage::Open(const std::filesystem::path& path) {
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) {
    return status;
  }
  return image_detail::PrefixFileName(path, OpenFromBytes(file));
}

Status PcxImage::OpenFromBytes(std::span<const std::uint8_t> file) {
  if (!HasPcxSignature(file)) return Status::Error(ErrorKind::kUnsupported, "not a PCX picture");
  if (file.size() < kHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "the PCX header is cut short");
  }
  const PcxHeader parsed = ParseHeader(file);
  DecodedPicture picture;
  if (Status status = Decode(file, parsed, picture); !status.ok()) {
    return status;
  }
  std::copy_n(file.begin(), kHeaderSize, header.begin());
  pixels = std::move(picture.pixels);
  width = picture.width;
  height = picture.height;
  pixelFormat = picture.pixelFormat;
  if (pixelFormat == kPixelFormat16Colour) {
    // Only entries 0..15 change; the others keep what they held.
    std::copy_n(picture.palette.begin(), 48, palette.begin());
    SetPalette(palette.data());
  } else if (pixelFormat == kPixelFormatIndexed) {
    SetPalette(picture.palette.data());
  }
  return Status();
}

void PcxImage::ConvertRgbTo16Bit() {
  if (pixelFormat != kPixelFormatRgb) return;
  pixels = image_detail::RgbTo16Bit(pixels, 0);
  pixelFormat = kPixelFormat16Bit;
}

void PcxImage::ConvertIndexedTo16Bit() {
  if (pixelFormat != kPixelFormatIndexed) return;
  IndexedTo555(pixels, width, height, palette.data());
  pixelFormat = kPixelFormat16Bit;
}

}  // namespace krelt
