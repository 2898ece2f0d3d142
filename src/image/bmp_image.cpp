#include "image/bmp_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/high_colour.h"
#include "image/reader_support.h"

namespace krelt {
namespace {

using image_detail::CheckPictureSize;
using image_detail::FitsInside;
using image_detail::Hex32;
using image_detail::LoadLe16;
using image_detail::LoadLe32;
using image_detail::LoadLeSigned32;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kSmallestInfoHeader = 16;
constexpr std::uint32_t kLargestOs2Header = 64;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kMaskOffset = 40;  // inside the info header

enum Compression : std::uint32_t {
  kCompressionNone = 0,
  kCompressionRle8 = 1,
  kCompressionRle4 = 2,
  kCompressionBitFields = 3,
  kCompressionJpeg = 4,
  kCompressionPng = 5,
  kCompressionAlphaBitFields = 6,
};

// One colour field of a bit-field pixel.
struct ColourField {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

// Everything the decoder needs, read and checked from the headers.
struct BmpLayout {
  std::uint32_t headerSize = 0;
  bool os2 = false;  // OS/2 1.x or 2.x: other compression codes
  std::int64_t width = 0;
  std::int64_t storedHeight = 0;
  std::int32_t height = 0;
  bool topDown = false;
  std::uint32_t planes = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  std::uint64_t pixelOffset = 0;
  std::uint64_t stride = 0;
  std::uint64_t tableOffset = 0;   // first colour table entry
  std::uint32_t entrySize = 4;     // 3 in OS/2 1.x files
  std::uint32_t tableEntries = 0;  // entries announced for palette pictures
  bool bitFields = false;          // 16 and 32 bits read through fields
  std::array<ColourField, 3> fields{};  // red, green, blue
};

Status Refused(ErrorKind kind, std::string message) {
  return Status::Error(kind, std::move(message));
}

std::string CompressionName(const BmpLayout& layout) {
  if (layout.os2 && layout.compression == kCompressionBitFields) return "Huffman 1D";
  if (layout.os2 && layout.compression == kCompressionJpeg) return "RLE24";
  switch (layout.compression) {
    case kCompressionRle8: return "RLE8";
    case kCompressionRle4: return "RLE4";
    case kCompressionBitFields: return "bit fields";
    case kCompressionJpeg: return "an embedded JPEG picture";
    case kCompressionPng: return "an embedded PNG picture";
    case kCompressionAlphaBitFields: return "bit fields with alpha";
    case 11: return "CMYK";
    case 12: return "CMYK RLE8";
    case 13: return "CMYK RLE4";
    default: return "unknown";
  }
}

bool IsPaletteDepth(std::uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

bool IsRle(const BmpLayout& layout) {
  return layout.compression == kCompressionRle8 ||
         layout.compression == kCompressionRle4;
}

// Windows' bit-field codes; OS/2 files use 3 and 4 for other codings.
bool HasMaskCompression(const BmpLayout& layout) {
  return !layout.os2 && (layout.compression == kCompressionBitFields ||
                         layout.compression == kCompressionAlphaBitFields);
}

bool IsKnownHeaderSize(std::uint32_t size) {
  return size == kCoreHeaderSize ||
         (size >= kSmallestInfoHeader && size <= kLargestOs2Header) ||
         size == kV4HeaderSize || size >= kV5HeaderSize;
}

// OS/2 2.x headers are 16 to 64 bytes long; 40, 52 and 56 are Windows'.
bool IsOs2HeaderSize(std::uint32_t size) {
  return size == kCoreHeaderSize ||
         (size >= kSmallestInfoHeader && size <= kLargestOs2Header && size != 40 &&
          size != 52 && size != 56);
}

// A header field that a short OS/2 2.x header leaves out reads as 0.
std::uint32_t OptionalField(std::span<const std::uint8_t> info,
                            std::uint32_t headerSize, std::size_t offset) {
  return offset + 4 <= headerSize ? LoadLe32(&info[offset]) : 0;
}

Status ReadHeaders(std::span<const std::uint8_t> file, BmpLayout& layout) {
  if (!HasBmpSignature(file)) {
    return Refused(ErrorKind::kUnsupported, kNotABitmapMessage);
  }
  if (file.size() < kFileHeaderSize + 4) {
    return Refused(ErrorKind::kDamaged, "the BMP header is cut short");
  }
  const std::span<const std::uint8_t> info = file.subspan(kFileHeaderSize);
  layout.headerSize = LoadLe32(info.data());
  if (!IsKnownHeaderSize(layout.headerSize)) {
    return Refused(ErrorKind::kUnsupported, "unsupported BMP header of " +
                                                std::to_string(layout.headerSize) +
                                                " bytes");
  }
  if (!FitsInside(file.size(), kFileHeaderSize, layout.headerSize)) {
    return Refused(ErrorKind::kDamaged, "the BMP header is cut short");
  }
  layout.os2 = IsOs2HeaderSize(layout.headerSize);
  layout.pixelOffset = LoadLe32(&file[10]);
  if (layout.headerSize == kCoreHeaderSize) {
    layout.width = LoadLe16(&info[4]);
    layout.storedHeight = LoadLe16(&info[6]);
    layout.planes = LoadLe16(&info[8]);
    layout.bitsPerPixel = LoadLe16(&info[10]);
    layout.entrySize = 3;
    return Status();
  }
  layout.width = LoadLeSigned32(&info[4]);
  layout.storedHeight = LoadLeSigned32(&info[8]);
  layout.planes = LoadLe16(&info[12]);
  layout.bitsPerPixel = LoadLe16(&info[14]);
  layout.compression = OptionalField(info, layout.headerSize, 16);
  layout.coloursUsed = OptionalField(info, layout.headerSize, 32);
  return Status();
}

// Bits per pixel and compression together.
Status CheckEncoding(const BmpLayout& layout) {
  const std::uint32_t bits = layout.bitsPerPixel;
  if (layout.planes == 0) {
    return Refused(ErrorKind::kDamaged, "the BMP header gives 0 colour planes");
  }
  if (!IsPaletteDepth(bits) && bits != 16 && bits != 24 && bits != 32) {
    return Refused(ErrorKind::kUnsupported,
                   std::to_string(bits) + " bits per pixel are not supported");
  }
  const std::string compression = "compression " + std::to_string(layout.compression) +
                                  " (" + CompressionName(layout) + ")";
  const bool bitFields = HasMaskCompression(layout);
  if (layout.compression == kCompressionNone) return Status();
  if (layout.compression == kCompressionRle8 && bits != 8) {
    return Refused(ErrorKind::kDamaged, compression + " needs 8 bits per pixel, not " +
                                            std::to_string(bits));
  }
  if (layout.compression == kCompressionRle4 && bits != 4) {
    return Refused(ErrorKind::kDamaged, compression + " needs 4 bits per pixel, not " +
                                            std::to_string(bits));
  }
  if (IsRle(layout)) {
    if (layout.storedHeight < 0) {
      return Refused(ErrorKind::kDamaged, "a top-down picture can't be run-length coded");
    }
    return Status();
  }
  if (bitFields && bits != 16 && bits != 32) {
    return Refused(ErrorKind::kDamaged, compression + " needs 16 or 32 bits per pixel, not " +
                                            std::to_string(bits));
  }
  if (bitFields) return Status();
  return Refused(ErrorKind::kUnsupported, compression + " is not supported");
}

ColourField FieldOf(std::uint32_t mask) {
  ColourField field;
  field.mask = mask;
  if (mask == 0) return field;
  field.shift = std::countr_zero(mask);
  field.bits = std::popcount(mask);
  return field;
}

// The masks of 16-bit pictures without bit fields.
constexpr std::array<std::uint32_t, 3> k555Masks = {0x7C00, 0x03E0, 0x001F};

// Reads the colour masks: in the header from 52 bytes on, else right after
// a 40-byte header, where they also move the colour table.
Status ReadMasksAndTableStart(std::span<const std::uint8_t> file, BmpLayout& layout) {
  layout.tableOffset = kFileHeaderSize + std::uint64_t{layout.headerSize};
  const bool withMasks = HasMaskCompression(layout);
  layout.bitFields = withMasks || layout.bitsPerPixel == 16;
  if (!withMasks) {
    if (layout.bitsPerPixel == 16) {
      for (std::size_t i = 0; i < 3; ++i) layout.fields[i] = FieldOf(k555Masks[i]);
    }
    return Status();
  }
  std::size_t maskStart = kFileHeaderSize + kMaskOffset;
  if (layout.headerSize < kMaskOffset + 12) {
    const std::uint64_t maskBytes =
        layout.compression == kCompressionAlphaBitFields ? 16 : 12;
    if (!FitsInside(file.size(), static_cast<std::int64_t>(layout.tableOffset),
                    static_cast<std::int64_t>(maskBytes))) {
      return Refused(ErrorKind::kDamaged, "the BMP colour masks are cut short");
    }
    maskStart = static_cast<std::size_t>(layout.tableOffset);
    layout.tableOffset += maskBytes;
  }
  const std::uint64_t widest =
      layout.bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  static const char* const kNames[] = {"red", "green", "blue"};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint32_t mask = LoadLe32(&file[maskStart + 4 * i]);
    const ColourField field = FieldOf(mask);
    const bool oneRun = mask == 0 || ((mask >> field.shift) & ((mask >> field.shift) + 1)) == 0;
    if (mask > widest || !oneRun) {
      return Refused(ErrorKind::kDamaged,
                     std::string("the ") + kNames[i] + " mask " + Hex32(mask) +
                         " is not one run of bits inside a " +
                         std::to_string(layout.bitsPerPixel) + "-bit pixel");
    }
    layout.fields[i] = field;
  }
  return Status();
}

// With flag1555, fields of five or six bits go straight to 1-5-5-5 values;
// pictures of other fields go through red, green, blue like 24-bit ones.
bool DirectTo1555(const BmpLayout& layout, const ReadOptions& options) {
  return options.flag1555 && layout.bitFields &&
         std::any_of(layout.fields.begin(), layout.fields.end(),
                     [](const ColourField& field) { return field.bits == 5 || field.bits == 6; });
}

// Picture size, colour table and where the pixels lie.
Status ReadGeometry(std::span<const std::uint8_t> file, const ReadOptions& options,
                    BmpLayout& layout) {
  const std::int64_t height = std::llabs(layout.storedHeight);
  const bool indices = IsPaletteDepth(layout.bitsPerPixel);
  const std::int64_t outputBytes = (indices && !options.flag1555) ? 1
                                   : DirectTo1555(layout, options)  ? 2
                                                                    : 3;
  if (Status status = CheckPictureSize(layout.width, height, outputBytes,
                                       options.maxPixelBytes);
      !status.ok()) {
    return status;
  }
  layout.height = static_cast<std::int32_t>(height);
  layout.topDown = layout.storedHeight < 0;
  layout.stride =
      (static_cast<std::uint64_t>(layout.bitsPerPixel) * layout.width + 31) / 32 * 4;
  if (indices) {
    const std::uint32_t most = 1u << layout.bitsPerPixel;
    layout.tableEntries =
        (layout.coloursUsed == 0 || layout.coloursUsed > most) ? most : layout.coloursUsed;
  }
  if (layout.pixelOffset > file.size()) {
    return Refused(ErrorKind::kDamaged,
                   "the pixel data offset lies beyond the end of the file");
  }
  if (layout.pixelOffset < layout.tableOffset) {
    return Refused(ErrorKind::kDamaged, "the pixel data offset " +
                                            std::to_string(layout.pixelOffset) +
                                            " points into the BMP headers");
  }
  if (IsRle(layout)) return Status();
  const std::uint64_t usedRowBytes =
      (static_cast<std::uint64_t>(layout.width) * layout.bitsPerPixel + 7) / 8;
  const std::uint64_t lastRowEnd =
      layout.stride * static_cast<std::uint64_t>(layout.height - 1) + usedRowBytes;
  if (lastRowEnd > file.size() - layout.pixelOffset) {
    return Refused(ErrorKind::kDamaged, "the pixel data end before the last row");
  }
  return Status();
}

// The stored row that becomes output row j.
const std::uint8_t* StoredRow(std::span<const std::uint8_t> file,
                              const BmpLayout& layout, std::int64_t j) {
  const std::uint64_t stored =
      layout.topDown ? static_cast<std::uint64_t>(j)
                     : static_cast<std::uint64_t>(layout.height - 1 - j);
  return file.data() + layout.pixelOffset + stored * layout.stride;
}

std::size_t PixelCount(const BmpLayout& layout) {
  return static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
}

// Uncompressed rows of 1, 2, 4 or 8 bits: one index per output byte, the
// leftmost pixel in the highest bits.
std::vector<std::uint8_t> UnpackIndices(std::span<const std::uint8_t> file,
                                        const BmpLayout& layout) {
  std::vector<std::uint8_t> out(PixelCount(layout));
  std::uint8_t* target = out.data();
  for (std::int64_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* row = StoredRow(file, layout, j);
    for (std::int64_t i = 0; i < layout.width; ++i) {
      *target++ = static_cast<std::uint8_t>(image_detail::PackedValue(
          row, static_cast<std::size_t>(i), layout.bitsPerPixel));
    }
  }
  return out;
}

// Run-length coded indices, bottom row first. Pixels that no code writes
// stay index 0, as in common readers. Pixels in the padding of a stored
// row (ImageMagick codes rows up to a multiple of four bytes) are dropped;
// codes that write beyond it or above the top row, and deltas that leave
// the picture, are refused: such files lose pixels their author drew.
class RleDecoder {
 public:
  RleDecoder(std::span<const std::uint8_t> data, const BmpLayout& layout)
      : data_(data), layout_(layout), nibbles_(layout.compression == kCompressionRle4),
        storedWidth_(static_cast<std::int64_t>(layout.stride * 8 / layout.bitsPerPixel)),
        out_(PixelCount(layout), 0) {}

  // Decodes up to the end-of-picture code. Once every row is done, data
  // may end without that code, and only ends of line may come before it.
  Status Run() {
    while (row_ < layout_.height || Has(2)) {
      if (!Has(2)) return CutOff();
      const std::uint8_t count = data_[position_];
      const std::uint8_t value = data_[position_ + 1];
      position_ += 2;
      if (count > 0) {
        if (Status status = Repeat(count, value); !status.ok()) return status;
      } else if (value == 0) {  // end of line
        column_ = 0;
        ++row_;
      } else if (value == 1) {  // end of picture
        break;
      } else if (value == 2) {  // delta
        if (Status status = Delta(); !status.ok()) return status;
      } else if (Status status = Literal(value); !status.ok()) {
        return status;
      }
    }
    return Status();
  }

  std::vector<std::uint8_t> TakePixels() { return std::move(out_); }

 private:
  bool Has(std::size_t bytes) const { return data_.size() - position_ >= bytes; }

  Status CutOff() const {
    return Refused(ErrorKind::kDamaged,
                   "the run-length data end before the end-of-picture code");
  }

  // Rows counted from the top, as the picture is seen; pixels from the left.
  std::string Place(std::int64_t column) const {
    return "row " + std::to_string(layout_.height - 1 - row_) + " (pixel " +
           std::to_string(column) + ")";
  }

  static Status AboveTheTop() {
    return Refused(ErrorKind::kDamaged, "the run-length data write above the top row");
  }

  // Whether `count` pixels from the current place stay inside its row.
  Status CheckRoom(unsigned count) const {
    if (row_ >= layout_.height) return AboveTheTop();
    if (column_ + count > storedWidth_) {
      return Refused(ErrorKind::kDamaged, "the run-length data write past the end of " +
                                              Place(column_ + count - 1));
    }
    return Status();
  }

  std::uint8_t Nibble(std::uint8_t value, unsigned k) const {
    if (!nibbles_) return value;
    return static_cast<std::uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F);
  }

  Status Repeat(unsigned count, std::uint8_t value) {
    if (Status status = CheckRoom(count); !status.ok()) return status;
    for (unsigned k = 0; k < count; ++k) Put(Nibble(value, k));
    return Status();
  }

  // A move right and up that may end at the end of a stored row or just
  // above the top row, but not beyond.
  Status Delta() {
    if (!Has(2)) return CutOff();
    const std::int64_t right = data_[position_];
    const std::int64_t up = data_[position_ + 1];
    position_ += 2;
    if (row_ >= layout_.height && right + up > 0) return AboveTheTop();
    if (column_ + right > storedWidth_ || row_ + up > layout_.height) {
      return Refused(ErrorKind::kDamaged,
                     "a run-length delta of " + std::to_string(right) + " right and " +
                         std::to_string(up) + " up moves past the picture from " +
                         Place(column_));
    }
    column_ += right;
    row_ += up;
    return Status();
  }

  // `count` stored pixels, padded to a 16-bit boundary.
  Status Literal(unsigned count) {
    const std::size_t bytes = nibbles_ ? (count + 1) / 2 : count;
    const std::size_t padded = bytes + (bytes % 2);
    if (!Has(padded)) return CutOff();
    if (Status status = CheckRoom(count); !status.ok()) return status;
    for (unsigned k = 0; k < count; ++k) {
      Put(Nibble(data_[position_ + (nibbles_ ? k / 2 : k)], k));
    }
    position_ += padded;
    return Status();
  }

  void Put(std::uint8_t index) {
    if (column_ < layout_.width) {
      const std::int64_t outputRow = layout_.height - 1 - row_;
      out_[static_cast<std::size_t>(outputRow * layout_.width + column_)] = index;
    }
    ++column_;
  }

  std::span<const std::uint8_t> data_;
  const BmpLayout& layout_;
  bool nibbles_;
  std::int64_t storedWidth_;  // the pixels of a stored row, padding included
  std::vector<std::uint8_t> out_;
  std::size_t position_ = 0;
  std::int64_t column_ = 0;
  std::int64_t row_ = 0;  // stored row, 0 at the bottom
};

Status DecodeIndices(std::span<const std::uint8_t> file, const BmpLayout& layout,
                     std::vector<std::uint8_t>& indices) {
  if (!IsRle(layout)) {
    indices = UnpackIndices(file, layout);
    return Status();
  }
  RleDecoder decoder(file.subspan(static_cast<std::size_t>(layout.pixelOffset)), layout);
  if (Status status = decoder.Run(); !status.ok()) return status;
  indices = decoder.TakePixels();
  return Status();
}

// Colour table entries announced that lie before the pixels.
std::uint64_t UsableEntries(const BmpLayout& layout) {
  const std::uint64_t room = (layout.pixelOffset - layout.tableOffset) / layout.entrySize;
  return std::min<std::uint64_t>(layout.tableEntries, room);
}

// Indices to red, green, blue through the colour table. The table ends
// where the pixels start, whatever it announces.
Status ThroughColourTable(std::span<const std::uint8_t> file, const BmpLayout& layout,
                          std::span<const std::uint8_t> indices,
                          std::vector<std::uint8_t>& rgb) {
  if (!FitsInside(file.size(), static_cast<std::int64_t>(layout.tableOffset),
                  std::int64_t{layout.entrySize} * layout.tableEntries)) {
    return Refused(ErrorKind::kDamaged, "the colour table runs past the end of the file");
  }
  const std::uint64_t entries = UsableEntries(layout);
  const std::uint8_t* table = file.data() + layout.tableOffset;
  rgb.assign(indices.size() * 3, 0);
  std::uint8_t* target = rgb.data();
  for (const std::uint8_t index : indices) {
    if (index >= entries) {
      return Refused(ErrorKind::kDamaged, "pixel index beyond the colour table");
    }
    const std::uint8_t* entry = table + std::size_t{layout.entrySize} * index;
    target[0] = entry[2];
    target[1] = entry[1];
    target[2] = entry[0];
    target += 3;
  }
  return Status();
}

// 24 bits, and 32 bits without bit fields: blue, green, red (and a fourth
// byte) to red, green, blue.
std::vector<std::uint8_t> DecodeRgbBytes(std::span<const std::uint8_t> file,
                                         const BmpLayout& layout) {
  const std::size_t storedBytes = layout.bitsPerPixel / 8;
  std::vector<std::uint8_t> out(PixelCount(layout) * 3);
  std::uint8_t* target = out.data();
  for (std::int64_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* source = StoredRow(file, layout, j);
    for (std::int64_t i = 0; i < layout.width; ++i, source += storedBytes, target += 3) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }
  return out;
}

std::uint32_t FieldValue(const ColourField& field, std::uint32_t pixel) {
  return (pixel & field.mask) >> field.shift;
}

// A field scaled to 8 bits: (v * 255 + max / 2) / max.
std::uint8_t FieldTo8Bits(const ColourField& field, std::uint32_t pixel) {
  if (field.bits == 0) return 0;
  const std::uint64_t maximum = (std::uint64_t{1} << field.bits) - 1;
  const std::uint64_t value = FieldValue(field, pixel);
  return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
}

// A field of the pixel as five bits, for 1-5-5-5 values read field by field.
std::uint16_t FieldTo5Bits(const ColourField& field, std::uint32_t pixel) {
  return BitFieldTo5Bits(FieldValue(field, pixel), field.bits, FieldTo8Bits(field, pixel));
}

std::uint32_t StoredPixel(const std::uint8_t* source, std::uint32_t bits) {
  return bits == 16 ? LoadLe16(source) : LoadLe32(source);
}

// 16- and 32-bit pixels through their fields, to red, green, blue or, with
// flag1555, to little-endian 1-5-5-5 values of the BMP road.
std::vector<std::uint8_t> DecodeBitFields(std::span<const std::uint8_t> file,
                                          const BmpLayout& layout, bool flag1555) {
  const std::size_t storedBytes = layout.bitsPerPixel / 8;
  const auto& [red, green, blue] = layout.fields;
  std::vector<std::uint8_t> out(PixelCount(layout) * (flag1555 ? 2 : 3));
  std::uint8_t* target = out.data();
  for (std::int64_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* source = StoredRow(file, layout, j);
    for (std::int64_t i = 0; i < layout.width; ++i, source += storedBytes) {
      const std::uint32_t pixel = StoredPixel(source, layout.bitsPerPixel);
      if (flag1555) {
        image_detail::StoreLe16(
            target, Pack555(FieldTo5Bits(red, pixel), FieldTo5Bits(green, pixel),
                            FieldTo5Bits(blue, pixel), kBmpRoad.colourTopBit));
        target += 2;
      } else {
        target[0] = FieldTo8Bits(red, pixel);
        target[1] = FieldTo8Bits(green, pixel);
        target[2] = FieldTo8Bits(blue, pixel);
        target += 3;
      }
    }
  }
  return out;
}

Status DecodePalettePicture(std::span<const std::uint8_t> file, const BmpLayout& layout,
                            bool flag1555, Picture& picture) {
  std::vector<std::uint8_t> indices;
  if (Status status = DecodeIndices(file, layout, indices); !status.ok()) return status;
  if (!flag1555) {
    picture.pixels = std::move(indices);
    picture.pixelFormat = kPixelFormatIndexed;
    return Status();
  }
  picture.pixelFormat = kPixelFormatRgb;
  return ThroughColourTable(file, layout, indices, picture.pixels);
}

// The colour table as 6-bit values, as far as it lies before the pixels.
void ReadPalette(std::span<const std::uint8_t> file, const BmpLayout& layout,
                 Picture& picture) {
  const std::uint64_t entries = UsableEntries(layout);
  for (std::uint64_t k = 0; k < entries; ++k) {
    const std::uint8_t* entry = &file[layout.tableOffset + k * layout.entrySize];
    picture.palette[3 * k] = static_cast<std::uint8_t>(entry[2] >> 2);
    picture.palette[3 * k + 1] = static_cast<std::uint8_t>(entry[1] >> 2);
    picture.palette[3 * k + 2] = static_cast<std::uint8_t>(entry[0] >> 2);
  }
}

Status ReadLayout(std::span<const std::uint8_t> file, const ReadOptions& options,
                  BmpLayout& layout) {
  if (Status status = ReadHeaders(file, layout); !status.ok()) return status;
  if (Status status = CheckEncoding(layout); !status.ok()) return status;
  if (Status status = ReadMasksAndTableStart(file, layout); !status.ok()) return status;
  return ReadGeometry(file, options, layout);
}

}  // namespace

bool HasBmpSignature(std::span<const std::uint8_t> file) {
  return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

Status ReadBmp(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture) {
  BmpLayout layout;
  if (Status status = ReadLayout(file, options, layout); !status.ok()) return status;
  Picture decoded;
  decoded.width = static_cast<std::int32_t>(layout.width);
  decoded.height = layout.height;
  if (IsPaletteDepth(layout.bitsPerPixel)) {
    ReadPalette(file, layout, decoded);
    if (Status status = DecodePalettePicture(file, layout, options.flag1555, decoded);
        !status.ok()) {
      return status;
    }
  } else if (layout.bitFields) {
    const bool direct = DirectTo1555(layout, options);
    decoded.pixels = DecodeBitFields(file, layout, direct);
    decoded.pixelFormat = direct ? kPixelFormat16Bit : kPixelFormatRgb;
  } else {
    decoded.pixels = DecodeRgbBytes(file, layout);
    decoded.pixelFormat = kPixelFormatRgb;
  }
  picture = std::move(decoded);
  return Status();
}

}  // namespace krelt
