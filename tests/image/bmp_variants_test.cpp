// ReadBmp on the BMP variants beyond uncompressed 8, 24 and 32 bits: other
// headers, packed palette pixels, run-length coding and bit fields.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "image/bmp_image.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::PutLe16;
using test::PutLe32;
using test::Rgb;

// A BMP file put together field by field, for headers and codes no writer
// of ours produces.
struct RawBmp {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> masksAfterHeader;
  std::vector<std::uint32_t> masksInHeader;  // from header offset 40
  std::vector<Rgb> palette;
  Bytes data;  // the pixel data as stored
  std::optional<std::uint32_t> pixelOffset;
};

Bytes Build(const RawBmp& raw) {
  const std::size_t entrySize = raw.headerSize == 12 ? 3 : 4;
  const std::size_t offset = 14 + raw.headerSize + 4 * raw.masksAfterHeader.size() +
                             entrySize * raw.palette.size();
  Bytes file(offset, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 10, raw.pixelOffset.value_or(static_cast<std::uint32_t>(offset)));
  PutLe32(file, 14, raw.headerSize);
  if (raw.headerSize == 12) {
    PutLe16(file, 18, static_cast<std::uint16_t>(raw.width));
    PutLe16(file, 20, static_cast<std::uint16_t>(raw.height));
    PutLe16(file, 22, raw.planes);
    PutLe16(file, 24, raw.bits);
  } else {
    PutLe32(file, 18, static_cast<std::uint32_t>(raw.width));
    PutLe32(file, 22, static_cast<std::uint32_t>(raw.height));
    PutLe16(file, 26, raw.planes);
    PutLe16(file, 28, raw.bits);
    if (raw.headerSize >= 20) PutLe32(file, 30, raw.compression);
    if (raw.headerSize >= 36) PutLe32(file, 46, raw.coloursUsed);
  }
  for (std::size_t i = 0; i < raw.masksInHeader.size(); ++i) {
    PutLe32(file, 54 + 4 * i, raw.masksInHeader[i]);
  }
  std::size_t at = 14 + raw.headerSize;
  for (const std::uint32_t mask : raw.masksAfterHeader) {
    PutLe32(file, at, mask);
    at += 4;
  }
  for (const Rgb& entry : raw.palette) {
    file[at] = entry.blue;
    file[at + 1] = entry.green;
    file[at + 2] = entry.red;
    at += entrySize;
  }
  file.insert(file.end(), raw.data.begin(), raw.data.end());
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  return file;
}

const std::vector<Rgb> kPalette = {{0, 0, 0},    {255, 0, 0},   {0, 255, 0}, {0, 0, 255},
                                   {9, 99, 199}, {250, 128, 7}, {1, 2, 3},   {77, 66, 55}};

Picture Read(const Bytes& file, bool flag1555 = false) {
  Picture picture;
  const Status status = ReadBmp(file, ReadOptions{flag1555}, picture);
  EXPECT_TRUE(status.ok()) << status.message();
  return picture;
}

Status Refusal(const Bytes& file, bool flag1555 = false) {
  Picture picture;
  return ReadBmp(file, ReadOptions{flag1555}, picture);
}

// The same 2 x 2 picture of 8-bit indices behind every header size: the
// OS/2 1.x header with 3-byte palette entries, OS/2 2.x headers of 16 to 64
// bytes, and the Windows headers.
TEST(BmpVariantsTest, EveryHeaderSizeGivesTheSamePicture) {
  const Bytes rows = {5, 6, 0, 0, 1, 2, 0, 0};  // bottom row first
  for (const std::uint32_t headerSize : {12u, 16u, 20u, 36u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    RawBmp raw;
    raw.headerSize = headerSize;
    raw.width = 2;
    raw.height = 2;
    raw.palette = kPalette;
    raw.coloursUsed = 8;
    raw.data = rows;
    Bytes file = Build(raw);
    // Headers without a colour count announce 256 entries, which must lie
    // inside the file.
    file.resize(file.size() + 1024);
    const Picture indexed = Read(file);
    EXPECT_EQ(indexed.pixelFormat, kPixelFormatIndexed);
    EXPECT_EQ(indexed.pixels, (Bytes{1, 2, 5, 6}));
    const Picture rgb = Read(file, true);
    EXPECT_EQ(rgb.pixels, (Bytes{255, 0, 0, 0, 255, 0, 250, 128, 7, 1, 2, 3}));
  }
}

// Packed rows of 1, 2 and 4 bits, leftmost pixel in the highest bits, each
// row padded to four bytes.
TEST(BmpVariantsTest, PackedPaletteRowsOfEveryWidth) {
  for (const std::uint16_t bits : {1, 2, 4}) {
    for (std::int32_t width = 1; width <= 9; ++width) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      const std::uint32_t values = 1u << bits;
      Bytes expected;
      Bytes data;
      for (std::int32_t y = 1; y >= 0; --y) {  // bottom row stored first
        Bytes row((static_cast<std::size_t>(width) * bits + 31) / 32 * 4, 0);
        for (std::int32_t x = 0; x < width; ++x) {
          const std::uint32_t value = (static_cast<std::uint32_t>(x * 3 + y * 5 + 1)) % values;
          const std::size_t bit = static_cast<std::size_t>(x) * bits;
          row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | value << (8 - bits - bit % 8));
        }
        data.insert(data.end(), row.begin(), row.end());
      }
      for (std::int32_t y = 0; y < 2; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
          expected.push_back(static_cast<std::uint8_t>((x * 3 + y * 5 + 1) % values));
        }
      }
      RawBmp raw;
      raw.width = width;
      raw.height = 2;
      raw.bits = bits;
      raw.palette.assign(kPalette.begin(), kPalette.begin() + std::min<std::size_t>(values, 8));
      raw.palette.resize(values);
      raw.data = data;
      EXPECT_EQ(Read(Build(raw)).pixels, expected);
    }
  }
}

struct RleCase {
  const char* name;
  std::uint16_t bits;
  Bytes coded;
  Bytes pixels;  // 4 x 3, top row first
};

// Runs, literal groups with their padding, end of line, deltas, an early
// end of picture (the rest stays index 0) and pixels past a row's end.
TEST(BmpVariantsTest, RunLengthCodes) {
  const RleCase cases[] = {
      {"RLE8 runs and ends of line", 8,
       {4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 1, 4, 3, 5, 0, 1},
       {4, 5, 5, 5, 2, 2, 3, 3, 1, 1, 1, 1}},
      {"RLE8 odd literal group with padding", 8,
       {0, 3, 7, 6, 5, 0, 1, 1, 0, 0, 0, 4, 1, 2, 3, 4, 0, 1},
       {0, 0, 0, 0, 1, 2, 3, 4, 7, 6, 5, 1}},
      {"RLE8 delta and early end", 8,
       {1, 7, 0, 2, 2, 1, 1, 6, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 6, 7, 0, 0, 0}},
      {"RLE8 run past the row end is cut", 8,
       {9, 3, 0, 0, 0, 0, 2, 1, 0, 1},
       {1, 1, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3}},
      {"RLE4 alternating run and literal nibbles", 4,
       {4, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 0, 3, 0x77, 0, 1},
       {7, 7, 7, 0, 4, 5, 6, 0, 1, 2, 1, 2}},
      {"RLE4 literal of four keeps two bytes, no padding", 4,
       {0, 4, 0x12, 0x34, 0, 0, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawBmp raw;
    raw.width = 4;
    raw.height = 3;
    raw.bits = c.bits;
    raw.compression = c.bits == 8 ? 1 : 2;
    raw.palette = kPalette;
    raw.coloursUsed = 8;
    raw.data = c.coded;
    EXPECT_EQ(Read(Build(raw)).pixels, c.pixels);
  }
}

struct FieldCase {
  const char* name;
  std::uint16_t bits;
  std::uint32_t compression;
  std::vector<std::uint32_t> masks;  // red, green, blue (and alpha)
  std::uint32_t pixel;
  Bytes rgb;
  std::uint16_t value1555;
};

// Each field scaled to 8 bits as (v * 255 + max / 2) / max; with "1555",
// 5-bit fields pass through and 6-bit fields keep their top bits.
TEST(BmpVariantsTest, BitFieldsOfAnyWidthAndPlace) {
  const FieldCase cases[] = {
      {"5-6-5", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF7DF, {247, 251, 255}, 0xFBFF},
      {"5-5-5 without bit fields", 16, 0, {}, 0x7BDE, {247, 247, 247}, 0xFBDE},
      {"4-4-4 with alpha, compression 6", 16, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x1F82,
       {255, 136, 34}, 0},
      {"10-10-10", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, 3u << 20 | 1023u << 10 | 2,
       {1, 255, 0}, 0},
      {"1-bit fields", 16, 3, {0x4, 0x2, 0x1}, 0x5, {255, 0, 255}, 0},
      {"zero mask reads 0", 32, 3, {0, 0xFF00, 0xFF}, 0xFFFFFF, {0, 255, 255}, 0},
      {"whole 32-bit field", 32, 3, {0xFFFFFFFF, 0, 0}, 0x80000000, {128, 0, 0}, 0},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawBmp raw;
    raw.bits = c.bits;
    raw.compression = c.compression;
    raw.masksAfterHeader = c.masks;
    raw.data = {static_cast<std::uint8_t>(c.pixel), static_cast<std::uint8_t>(c.pixel >> 8),
                static_cast<std::uint8_t>(c.pixel >> 16), static_cast<std::uint8_t>(c.pixel >> 24)};
    const Picture rgb = Read(Build(raw));
    EXPECT_EQ(rgb.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(rgb.pixels, c.rgb);
    const Picture flagged = Read(Build(raw), true);
    if (c.value1555 == 0) {
      // No field of five or six bits: the 24-bit values finish later.
      EXPECT_EQ(flagged.pixels, c.rgb);
      continue;
    }
    ASSERT_EQ(flagged.pixelFormat, kPixelFormat16Bit);
    EXPECT_EQ(flagged.pixels[0] | flagged.pixels[1] << 8, c.value1555);
  }
}

// The masks of a 56-byte header lie inside it; the colour table follows it.
TEST(BmpVariantsTest, MasksInsideTheHeaderDoNotMoveThePixels) {
  RawBmp raw;
  raw.headerSize = 56;
  raw.bits = 32;
  raw.compression = 3;
  raw.masksInHeader = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
  raw.data = {10, 20, 30, 40};
  EXPECT_EQ(Read(Build(raw)).pixels, (Bytes{10, 20, 30}));
}

// An offset inside the colour table cuts it there: the entries beyond are
// pixel bytes, not colours.
TEST(BmpVariantsTest, ThePaletteEndsWhereThePixelsStart) {
  RawBmp raw;
  raw.palette = kPalette;
  raw.coloursUsed = 8;
  raw.data = {2, 0, 0, 0};
  Bytes file = Build(raw);
  PutLe32(file, 10, 54 + 3 * 4);  // three entries before the pixels
  file.insert(file.begin() + 54 + 12, {2, 0, 0, 0});
  EXPECT_EQ(Read(file, true).pixels, (Bytes{0, 255, 0}));
  file[54 + 12] = 3;
  EXPECT_EQ(Refusal(file, true).message(), "pixel index beyond the colour table");
}

struct BmpRefusal {
  const char* name;
  RawBmp raw;
  std::string message;
  ErrorKind kind;
};

RawBmp With(std::uint16_t bits, std::uint32_t compression, Bytes data = {0, 0, 0, 0}) {
  RawBmp raw;
  raw.bits = bits;
  raw.compression = compression;
  raw.palette = kPalette;
  raw.data = std::move(data);
  return raw;
}

TEST(BmpVariantsTest, RefusalsNameWhatWasFound) {
  RawBmp topDownRle = With(8, 1, {1, 1, 0, 1});
  topDownRle.height = -1;
  RawBmp noPlanes = With(8, 0);
  noPlanes.planes = 0;
  RawBmp intoHeaders = With(24, 0);
  intoHeaders.pixelOffset = 0;
  RawBmp os2Huffman = With(1, 3);
  os2Huffman.headerSize = 64;
  RawBmp os2Rle24 = With(24, 4);
  os2Rle24.headerSize = 64;
  RawBmp wideMask = With(16, 3);
  wideMask.masksAfterHeader = {0x1F0000, 0x7E0, 0x1F};
  RawBmp masksCut = With(16, 6);
  masksCut.palette.clear();
  masksCut.data.clear();
  const BmpRefusal cases[] = {
      {"64 bits", With(64, 0), "64 bits per pixel are not supported", ErrorKind::kUnsupported},
      {"JPEG", With(24, 4), "compression 4 (an embedded JPEG picture) is not supported",
       ErrorKind::kUnsupported},
      {"PNG", With(24, 5), "compression 5 (an embedded PNG picture) is not supported",
       ErrorKind::kUnsupported},
      {"CMYK", With(8, 11), "compression 11 (CMYK) is not supported", ErrorKind::kUnsupported},
      {"OS/2 Huffman 1D", os2Huffman, "compression 3 (Huffman 1D) is not supported",
       ErrorKind::kUnsupported},
      {"OS/2 RLE24", os2Rle24, "compression 4 (RLE24) is not supported", ErrorKind::kUnsupported},
      {"RLE4 on 8 bits", With(8, 2), "compression 2 (RLE4) needs 4 bits per pixel, not 8",
       ErrorKind::kDamaged},
      {"top-down RLE", topDownRle, "a top-down picture can't be run-length coded",
       ErrorKind::kDamaged},
      {"RLE cut off", With(8, 1, {2, 1, 0}),
       "the run-length data end before the end-of-picture code", ErrorKind::kDamaged},
      {"RLE literal cut off", With(8, 1, {0, 5, 1, 2}),
       "the run-length data end before the end-of-picture code", ErrorKind::kDamaged},
      {"zero planes", noPlanes, "the BMP header gives 0 colour planes", ErrorKind::kDamaged},
      {"offset 0", intoHeaders, "the pixel data offset 0 points into the BMP headers",
       ErrorKind::kDamaged},
      {"mask beyond 16 bits", wideMask,
       "the red mask 0x001F0000 is not one run of bits inside a 16-bit pixel",
       ErrorKind::kDamaged},
      {"alpha masks cut", masksCut, "the BMP colour masks are cut short", ErrorKind::kDamaged},
  };
  for (const BmpRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    const Status status = Refusal(Build(c.raw));
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(status.kind(), c.kind);
  }
}

test::PlainPpm DumpOf(const std::string& name) {
  return test::ReadPlainPpm(test::TestDataPath(name + ".expected.ppm"));
}

// Files of other tools against the pixels the tools read from them:
// ImageMagick and Netpbm writers, and variants written byte by byte.
TEST(BmpVariantsTest, ReadsEveryVariantOfOtherTools) {
  for (const char* name :
       {"bmp1_13x6", "bmp2_7x5", "bmp4_13x6", "bmp4_7x5", "bmp4_rle_7x5", "bmp8_rle_delta_7x5",
        "bmp8_os2_7x5", "bmp8_topdown_7x5", "bmp24_os2_13x6", "bmp24_os2v2_7x5",
        "bmp16_4444_13x6", "bmp32_alpha_header_7x5"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected = DumpOf(name);
    ASSERT_GT(expected.width, 0);
    const Bytes file = test::ReadBytes(test::TestDataPath(std::string(name) + ".bmp"));
    Picture picture = Read(file);
    EXPECT_EQ(picture.width, expected.width);
    EXPECT_EQ(picture.height, expected.height);
    if (picture.pixelFormat == kPixelFormatIndexed) picture = Read(file, true);
    EXPECT_EQ(picture.pixelFormat, kPixelFormatRgb);
    EXPECT_EQ(picture.pixels, expected.rgb);
  }
}

// Fields of five and six bits. ImageMagick widens them by repeating their
// top bits, Netpbm by truncating, we by rounding, so the 8-bit values may
// differ by one; the fields themselves, which "1555" keeps, agree exactly:
// they are the top five bits of ImageMagick's values.
TEST(BmpVariantsTest, FiveAndSixBitFieldsOfOtherTools) {
  for (const char* name : {"bmp16_565_13x6", "bmp16_555_13x6", "bmp16_1555_13x6",
                           "bmp16_v2header_565_7x5", "bmp16_plain555_7x5"}) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected = DumpOf(name);
    ASSERT_GT(expected.width, 0);
    const Bytes file = test::ReadBytes(test::TestDataPath(std::string(name) + ".bmp"));
    const Picture rgb = Read(file);
    ASSERT_EQ(rgb.pixels.size(), expected.rgb.size());
    for (std::size_t i = 0; i < rgb.pixels.size(); ++i) {
      EXPECT_LE(std::abs(rgb.pixels[i] - expected.rgb[i]), 1) << i;
    }
    const Picture packed = Read(file, true);
    ASSERT_EQ(packed.pixelFormat, kPixelFormat16Bit);
    for (std::size_t i = 0; i < packed.pixels.size() / 2; ++i) {
      const std::uint8_t* tool = &expected.rgb[3 * i];
      const int value = 0x8000 | (tool[0] >> 3) << 10 | (tool[1] >> 3) << 5 | tool[2] >> 3;
      EXPECT_EQ(packed.pixels[2 * i] | packed.pixels[2 * i + 1] << 8, value) << i;
    }
  }
}

}  // namespace
}  // namespace krelt
