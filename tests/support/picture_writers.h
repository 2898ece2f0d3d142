#pragma once

// Builds valid BMP, PCX and XSP files in memory for tests, samples and fuzz
// corpora. Pictures are given top row first, without row padding.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace krelt::test {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Little-endian fields, for building and for damaging files on purpose.
void PutLe16(std::vector<std::uint8_t>& bytes, std::size_t offset,
             std::uint16_t value);
void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t offset,
             std::uint32_t value);
std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset);

// ---- BMP ----
inline constexpr std::size_t kBmpInfoHeaderOffset = 14;

struct BmpSpec {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bitsPerPixel = 24;  // 8, 24 or 32
  // 8 bits: one index per pixel; 24 and 32 bits: red, green, blue triplets.
  std::vector<std::uint8_t> pixels;
  std::vector<Rgb> colourTable;              // 8 bits only
  std::optional<std::uint32_t> coloursUsed;  // default: colourTable.size()
  bool topDown = false;                      // negative height, rows top first
  bool bitFields = false;                    // 32 bits: BI_BITFIELDS, 8-bit masks
  std::uint32_t infoHeaderSize = 40;         // 40, 108 (V4) or 124 (V5)
  std::uint8_t fourthByte = 0xFF;            // 32 bits: the byte after red
};

std::vector<std::uint8_t> MakeBmp(const BmpSpec& layout);

// ---- PCX ----
inline constexpr std::size_t kPcxHeaderSize = 128;

struct PcxSpec {
  std::uint8_t bitsPerPixel = 8;  // 1 (1 to 4 planes) or 8 (1 or 3 planes)
  std::uint8_t planes = 1;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t xmin = 0;
  std::uint16_t ymin = 0;
  // 0: the least that holds a row, rounded up to an even count.
  std::uint16_t bytesPerLine = 0;
  // 1 bit: one value per pixel, bit p set when plane p is; 8 bits in one
  // plane: indices; 8 bits in three planes: red, green, blue triplets.
  std::vector<std::uint8_t> pixels;
  std::array<Rgb, 16> headerPalette{};  // 1 bit: 8-bit components
  std::vector<Rgb> palette;             // 8 bits in one plane: up to 256 entries
};

// The bytes per line the file will carry.
std::uint16_t PcxBytesPerLine(const PcxSpec& layout);
// Run-length code of one line as PCX encoders write it.
std::vector<std::uint8_t> EncodePcxRunLength(std::span<const std::uint8_t> line);
// Header, the given coded data and, for 256-colour pictures, the palette
// trailer (0x0C and 768 bytes).
std::vector<std::uint8_t> MakePcxWithData(const PcxSpec& layout,
                                          std::span<const std::uint8_t> coded);
std::vector<std::uint8_t> MakePcx(const PcxSpec& layout);

// ---- XSP ----
inline constexpr std::size_t kXspHeaderSize = 872;
inline constexpr std::size_t kXspFrameHeaderSize = 80;

struct XspFrameSpec {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::int32_t x = 0;
  std::int32_t y = 0;
  // One index per pixel, or little-endian 5-6-5 values for 16-bit files.
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> ownPalette;  // empty, or 768 bytes of 6-bit values
  std::vector<std::uint8_t> records;     // 16 bytes each
};

struct XspSpec {
  std::int32_t pixelKind = 1;                // 1: 8-bit indices; else 16-bit
  std::vector<std::uint8_t> defaultPalette;  // 768 bytes of 6-bit values
  std::vector<std::uint8_t> records;         // 32 bytes each
  std::vector<XspFrameSpec> frames;
};

// Header, frame table, record table, then each frame: its 80-byte header,
// pixels, own palette and records.
std::vector<std::uint8_t> MakeXsp(const XspSpec& layout);

}  // namespace krelt::test
