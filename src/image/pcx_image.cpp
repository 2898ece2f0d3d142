#include "image/pcx_image.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/high_colour.h"
#include "image/reader_support.h"

namespace krelt {
namespace {

using image_detail::CheckPictureSize;
using image_detail::LoadLe16;

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 768;
constexpr std::uint8_t kPaletteMarker = 0x0C;
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

  std::int64_t windowWidth() const { return xmax - xmin + 1; }
  std::int64_t height() const { return ymax - ymin + 1; }
  std::size_t scanLineBytes() const { return std::size_t{bytesPerLine} * planes; }
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

// The coded data as one stream: a run may continue past the end of a
// scan line into the next one.
class RunLengthReader {
 public:
  explicit RunLengthReader(std::span<const std::uint8_t> coded) : coded_(coded) {}

  // Fills `length` bytes into `out`, or only counts them when `out` is
  // null. False when the data end first.
  bool Read(std::uint8_t* out, std::size_t length) {
    std::size_t filled = 0;
    while (filled < length) {
      if (pending_ == 0 && !NextCode()) return false;
      const std::size_t count = std::min(pending_, length - filled);
      if (out != nullptr) std::memset(out + filled, value_, count);
      filled += count;
      pending_ -= count;
    }
    return true;
  }

  // Code bytes consumed so far.
  std::size_t position() const { return position_; }

 private:
  bool NextCode() {
    if (position_ >= coded_.size()) return false;
    const std::uint8_t code = coded_[position_++];
    pending_ = 1;
    value_ = code;
    if ((code & kRunCodeMask) == kRunCodeMask) {
      if (position_ >= coded_.size()) return false;
      pending_ = code & kRunLengthBits;
      value_ = coded_[position_++];
    }
    return true;
  }

  std::span<const std::uint8_t> coded_;
  std::size_t position_ = 0;
  std::size_t pending_ = 0;
  std::uint8_t value_ = 0;
};

// Turns one decoded scan line into row y of the picture.
using RowBuilder = void (*)(const PcxHeader& header, const std::uint8_t* scanLine,
                            std::size_t width, std::uint8_t* row);

// 1 bit in 1 to 4 planes, or 2 or 4 bits in one plane: the bits of each
// plane, lowest plane lowest, make an index 0..15.
void BuildPlanarRow(const PcxHeader& header, const std::uint8_t* scanLine,
                    std::size_t width, std::uint8_t* row) {
  const unsigned bits = header.bitsPerPixel;
  for (std::size_t x = 0; x < width; ++x) {
    unsigned value = 0;
    for (unsigned plane = 0; plane < header.planes; ++plane) {
      const std::uint8_t* planeLine = scanLine + plane * header.bytesPerLine;
      value |= image_detail::PackedValue(planeLine, x, bits) << (plane * bits);
    }
    row[x] = static_cast<std::uint8_t>(value);
  }
}

// 8 bits in one plane: the first `width` bytes; padding is dropped.
void BuildIndexedRow(const PcxHeader&, const std::uint8_t* scanLine, std::size_t width,
                     std::uint8_t* row) {
  std::copy_n(scanLine, width, row);
}

// 8 bits in three planes: red, green and blue lines interleaved.
void BuildRgbRow(const PcxHeader& header, const std::uint8_t* scanLine, std::size_t width,
                 std::uint8_t* row) {
  const std::uint8_t* red = scanLine;
  const std::uint8_t* green = red + header.bytesPerLine;
  const std::uint8_t* blue = green + header.bytesPerLine;
  for (std::size_t x = 0; x < width; ++x, row += 3) {
    row[0] = red[x];
    row[1] = green[x];
    row[2] = blue[x];
  }
}

// One PCX variant: how wide its rows are and how they are built.
struct Variant {
  PixelFormat pixelFormat;
  std::int64_t bytesPerPixel;
  RowBuilder buildRow;
};

Status CheckBytesPerLine(const PcxHeader& header) {
  const std::int64_t width = header.windowWidth();
  const std::int64_t neededBytes = (width * header.bitsPerPixel + 7) / 8;
  if (header.bytesPerLine < neededBytes) {
    return Status::Error(ErrorKind::kDamaged,
                         "bytes per line (" + std::to_string(header.bytesPerLine) +
                             ") too small for a width of " + std::to_string(width) +
                             " pixels");
  }
  return Status();
}

// Decodes every scan line from one continuous stream into width x height
// pixels. The data are checked to fill every scan line before the picture
// is allocated. `codedEnd` receives the code bytes used.
Status DecodeRows(std::span<const std::uint8_t> coded, const PcxHeader& header,
                  const Variant& variant, std::size_t width, Picture& picture,
                  std::size_t& codedEnd) {
  const std::size_t height = static_cast<std::size_t>(header.height());
  const std::size_t lineBytes = header.scanLineBytes();
  if (lineBytes * height > kMaxPixelBytes) {
    return Status::Error(ErrorKind::kTooLarge, "the PCX scan lines are too large: " +
                                                   std::to_string(lineBytes * height) +
                                                   " bytes");
  }
  if (!RunLengthReader(coded).Read(nullptr, lineBytes * height)) {
    return Status::Error(ErrorKind::kDamaged, kTruncatedMessage);
  }
  const std::size_t rowBytes = width * static_cast<std::size_t>(variant.bytesPerPixel);
  picture.pixels.assign(rowBytes * height, 0);
  std::vector<std::uint8_t> line(lineBytes);
  RunLengthReader reader(coded);
  for (std::size_t y = 0; y < height; ++y) {
    reader.Read(line.data(), lineBytes);
    variant.buildRow(header, line.data(), width, &picture.pixels[y * rowBytes]);
  }
  codedEnd = reader.position();
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixelFormat = variant.pixelFormat;
  return Status();
}

void ScalePalette(const std::uint8_t* stored, std::size_t bytes, std::uint8_t* palette) {
  for (std::size_t i = 0; i < bytes; ++i) palette[i] = stored[i] >> 2;
}

// "1 plane", "3 planes".
std::string CountText(unsigned count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

bool IsPlanar(const PcxHeader& header) {
  return (header.bitsPerPixel == 1 && header.planes >= 1 && header.planes <= 4) ||
         ((header.bitsPerPixel == 2 || header.bitsPerPixel == 4) && header.planes == 1);
}

Status Decode16Colour(std::span<const std::uint8_t> file, const PcxHeader& header,
                      const ReadOptions& options, Picture& picture) {
  const std::int64_t width = header.windowWidth();
  if (Status status = CheckPictureSize(width, header.height(), 1, options.maxPixelBytes);
      !status.ok()) {
    return status;
  }
  if (Status status = CheckBytesPerLine(header); !status.ok()) return status;
  std::size_t codedEnd = 0;
  if (Status status = DecodeRows(file.subspan(kHeaderSize), header,
                                 {kPixelFormat16Colour, 1, BuildPlanarRow},
                                 static_cast<std::size_t>(width), picture, codedEnd);
      !status.ok()) {
    return status;
  }
  ScalePalette(&file[16], 48, picture.palette.data());
  return Status();
}

// A 0x0C marker 769 bytes before the end: the palette ends the file.
bool HasTrailingPalette(std::span<const std::uint8_t> file) {
  return file.size() >= kHeaderSize + kPaletteSize + 1 &&
         file[file.size() - kPaletteSize - 1] == kPaletteMarker;
}

// Where the 256-colour palette lies: at the end of the file after its
// marker, else right after the coded data and a marker. 0 when there is
// none.
std::size_t PaletteOffset(std::span<const std::uint8_t> file, std::size_t codedEnd) {
  if (HasTrailingPalette(file)) return file.size() - kPaletteSize;
  const std::size_t marker = kHeaderSize + codedEnd;
  if (marker < file.size() && file[marker] == kPaletteMarker &&
      file.size() - marker - 1 >= kPaletteSize) {
    return marker + 1;
  }
  return 0;
}

// The coded data of a 256-colour picture: up to the palette when its
// marker lies 769 bytes before the end, else up to the end of the file.
std::span<const std::uint8_t> IndexedCodedData(std::span<const std::uint8_t> file) {
  const std::size_t end =
      HasTrailingPalette(file) ? file.size() - kPaletteSize : file.size();
  return file.subspan(kHeaderSize, end - kHeaderSize);
}

Status DecodeIndexed(std::span<const std::uint8_t> file, const PcxHeader& header,
                     const ReadOptions& options, Picture& picture) {
  const std::int64_t width = header.windowWidth();
  if (Status status = CheckPictureSize(width, header.height(), options.flag1555 ? 2 : 1,
                                       options.maxPixelBytes);
      !status.ok()) {
    return status;
  }
  if (Status status = CheckBytesPerLine(header); !status.ok()) return status;
  std::size_t codedEnd = 0;
  if (Status status = DecodeRows(IndexedCodedData(file), header,
                                 {kPixelFormatIndexed, 1, BuildIndexedRow},
                                 static_cast<std::size_t>(width), picture, codedEnd);
      !status.ok()) {
    return status;
  }
  const std::size_t paletteOffset = PaletteOffset(file, codedEnd);
  if (paletteOffset != 0) {
    ScalePalette(&file[paletteOffset], kPaletteSize, picture.palette.data());
  }
  if (!options.flag1555) return Status();
  if (paletteOffset == 0) {
    return Status::Error(ErrorKind::kDamaged,
                         "256-colour PCX with no 256-colour palette: no 0x0C marker 769 "
                         "bytes before the end of the file nor after the picture data");
  }
  IndexedPictureTo555(picture);
  return Status();
}

// 8 bits in three planes; the width is the bytes per line, so padding bytes
// become a column of the picture, which the user is told about.
Status DecodeRgb(std::span<const std::uint8_t> file, const PcxHeader& header,
                 const ReadOptions& options, Picture& picture) {
  if (header.bytesPerLine == 0) {
    return Status::Error(ErrorKind::kDamaged, "bytes per line is 0");
  }
  const std::int64_t width = header.bytesPerLine;
  if (Status status = CheckPictureSize(width, header.height(), 3, options.maxPixelBytes);
      !status.ok()) {
    return status;
  }
  if (Status status = CheckBytesPerLine(header); !status.ok()) return status;
  std::size_t codedEnd = 0;
  if (Status status = DecodeRows(file.subspan(kHeaderSize), header,
                                 {kPixelFormatRgb, 3, BuildRgbRow},
                                 static_cast<std::size_t>(width), picture, codedEnd);
      !status.ok()) {
    return status;
  }
  if (width > header.windowWidth()) {
    picture.notices.push_back("24-bit PCX: " + std::to_string(width) +
                              " pixels wide as stored (bytes per line); its window is " +
                              std::to_string(header.windowWidth()) + " wide");
  }
  return Status();
}

Status Decode(std::span<const std::uint8_t> file, const PcxHeader& header,
              const ReadOptions& options, Picture& picture) {
  if (header.xmax < header.xmin || header.ymax < header.ymin) {
    return Status::Error(ErrorKind::kDamaged,
        "invalid PCX window: x " + std::to_string(header.xmin) + ".." +
        std::to_string(header.xmax) + ", y " + std::to_string(header.ymin) +
        ".." + std::to_string(header.ymax));
  }
  if (IsPlanar(header)) return Decode16Colour(file, header, options, picture);
  if (header.bitsPerPixel == 8 && header.planes == 1) {
    return DecodeIndexed(file, header, options, picture);
  }
  if (header.bitsPerPixel == 8 && header.planes == 3) {
    return DecodeRgb(file, header, options, picture);
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

Status ReadPcx(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture) {
  if (!HasPcxSignature(file)) {
    return Status::Error(ErrorKind::kUnsupported, "not a PCX picture");
  }
  if (file.size() < kHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "the PCX header is cut short");
  }
  Picture decoded;
  if (Status status = Decode(file, ParseHeader(file), options, decoded); !status.ok()) {
    return status;
  }
  picture = std::move(decoded);
  return Status();
}

}  // namespace krelt
