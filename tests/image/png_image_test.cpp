// ReadPng on pictures of every colour type and bit depth written by Netpbm
// and ImageMagick, against the pixels Netpbm reads from them.

#include "image/png_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "image/reference_pictures.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A plain (P2) PGM dump of the alpha channel, 255 for opaque.
std::vector<int> ReadPlainPgm(const std::string& name) {
  std::ifstream in(test::TestDataPath(name));
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  EXPECT_EQ(magic, "P2");
  EXPECT_EQ(maxval, 255);
  std::vector<int> values;
  for (int value = 0; in >> value;) values.push_back(value);
  EXPECT_EQ(values.size(), static_cast<std::size_t>(width * height));
  return values;
}

Bytes PngFile(const std::string& name) {
  return test::ReadBytes(test::TestDataPath(name + ".png"));
}

const char* const kPictures[] = {
    "png_palette1_13x6", "png_palette2_7x5",  "png_palette4_7x5",   "png_palette8_13x6",
    "png_palette_trns_7x5", "png_grey1_13x6", "png_grey2_13x6",     "png_grey4_13x6",
    "png_grey8_13x6",    "png_grey16_13x6",   "png_grey_alpha_13x6", "png_rgb8_13x6",
    "png_rgb8_interlaced_13x6", "png_rgb16_13x6", "png_rgb_trns_7x5", "png_rgba8_13x6",
    "png_rgba16_13x6"};

class PngImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!KRELT_HAVE_PNG) GTEST_SKIP() << "this build reads no PNG pictures";
  }
};

// Without "1555": palette indices (compared through our 6-bit palette) or
// red, green, blue with 16-bit samples rounded to 8 bits; alpha ignored.
TEST_F(PngImageTest, ReadsEveryColourTypeAndDepth) {
  for (const char* name : kPictures) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::TestDataPath(std::string(name) + ".expected.ppm"));
    ASSERT_GT(expected.width, 0);
    const Picture picture = test::ReadAccepted(ReadPng, PngFile(name));
    ASSERT_EQ(picture.width, expected.width);
    ASSERT_EQ(picture.height, expected.height);
    if (picture.pixelFormat == kPixelFormatRgb) {
      EXPECT_EQ(picture.pixels, expected.rgb);
      continue;
    }
    ASSERT_EQ(picture.pixelFormat, kPixelFormatIndexed);
    test::ExpectPaletteColours(picture, expected);
  }
}

// With "1555": five bits a component, (c + 3) >> 3 at most 31, and bit 15
// for alpha of 128 and more; other pixels are 0.
TEST_F(PngImageTest, SixteenBitPixelsFollowTheAlpha) {
  const auto five = [](int c) { return std::min((c + 3) >> 3, 31); };
  for (const char* name : kPictures) {
    SCOPED_TRACE(name);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::TestDataPath(std::string(name) + ".expected.ppm"));
    const std::vector<int> alpha = ReadPlainPgm(std::string(name) + ".expected-alpha.pgm");
    Picture picture;
    ASSERT_TRUE(ReadPng(PngFile(name), ReadOptions{true}, picture).ok());
    ASSERT_EQ(picture.pixelFormat, kPixelFormat16Bit);
    ASSERT_EQ(picture.pixels.size(), 2 * alpha.size());
    int transparent = 0;
    for (std::size_t i = 0; i < alpha.size(); ++i) {
      const std::uint8_t* rgb = &expected.rgb[3 * i];
      const int value = alpha[i] < 128 ? 0
                                       : 0x8000 | five(rgb[0]) << 10 | five(rgb[1]) << 5 |
                                             five(rgb[2]);
      transparent += alpha[i] < 128;
      EXPECT_EQ(picture.pixels[2 * i] | picture.pixels[2 * i + 1] << 8, value) << i;
    }
    if (std::string(name).find("trns") != std::string::npos) {
      EXPECT_GT(transparent, 0);
    }
  }
}

struct PngRefusal {
  const char* name;
  Bytes file;
  // The whole message, or the start of the decoder's when it ends in ": ".
  std::string message;
};

// A tEXt chunk of keyword "k" and text "v".
Bytes TextChunk() { return Bytes{0, 0, 0, 3, 't', 'E', 'X', 't', 'k', 0, 'v', 0xCB, 0x04, 0xF3, 0x90}; }

// A copy of file changed by damage.
Bytes Changed(Bytes file, const std::function<void(Bytes&)>& damage) {
  damage(file);
  return file;
}

// Damage the decoder finds, and damage it never reads: chunk CRCs after
// the image data, the end of the file and the end of the compressed data.
TEST_F(PngImageTest, RefusesDamagedFiles) {
  const Bytes good = PngFile("png_rgb8_13x6");
  const std::size_t iend = good.size() - 12;
  const std::string damaged = "the PNG data are damaged: ";
  const Bytes text = TextChunk();
  const PngRefusal cases[] = {
      {"header CRC", Changed(good, [](Bytes& f) { f[29] ^= 0x40; }), damaged},
      {"pixel data", Changed(good, [&](Bytes& f) { f[good.size() - 30] ^= 0x40; }), damaged},
      {"cut short", Changed(good, [&](Bytes& f) { f.resize(good.size() / 2); }), damaged},
      {"signature only", Changed(good, [](Bytes& f) { f.resize(8); }), damaged},
      {"CRC of the last IDAT", Changed(good, [&](Bytes& f) { f[iend - 1] ^= 0x01; }),
       damaged + "chunk IDAT at byte 33 has a wrong CRC"},
      {"CRC of IEND", Changed(good, [](Bytes& f) { f.back() ^= 0x01; }),
       damaged + "chunk IEND at byte 91 has a wrong CRC"},
      {"no IEND", Changed(good, [&](Bytes& f) { f.resize(iend); }),
       damaged + "the file ends before its IEND chunk"},
      {"chunk cut after IDAT",
       Changed(good, [&](Bytes& f) { f.resize(iend); f.insert(f.end(), text.begin(), text.end() - 2); }),
       damaged + "chunk tEXt at byte 91 runs past the end of the file"},
      {"a byte after IEND", Changed(good, [](Bytes& f) { f.push_back(0); }),
       damaged + "1 byte follows the IEND chunk"},
      {"a chunk after IEND",
       Changed(good, [&](Bytes& f) { f.insert(f.end(), text.begin(), text.end()); }), damaged + "15 bytes follow the IEND chunk"},
      {"a sixth row", PngFile("png_extra_row_7x5"),
       damaged + "the image data go on past the last row"},
      {"bytes after the stream", PngFile("png_after_stream_7x5"),
       damaged + "the image data go on past the last row"},
  };
  for (const PngRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture;
    const Status status = ReadPng(c.file, ReadOptions{}, picture);
    EXPECT_EQ(status.kind(), ErrorKind::kDamaged);
    if (c.message.ends_with(": ")) {
      EXPECT_EQ(status.message().rfind(c.message, 0), 0u) << status.message();
    } else {
      EXPECT_EQ(status.message(), c.message);
    }
  }
}

// A chunk the decoder does not know, between the image data and IEND, is
// read over and its CRC checked.
TEST_F(PngImageTest, AcceptsChunksAfterTheImageData) {
  Bytes file = PngFile("png_rgb8_13x6");
  const Bytes text = TextChunk();
  file.insert(file.end() - 12, text.begin(), text.end());
  EXPECT_EQ(test::ReadAccepted(ReadPng, file).pixels,
            test::ReadAccepted(ReadPng, PngFile("png_rgb8_13x6")).pixels);
}

TEST_F(PngImageTest, SizeLimitsAsForEveryReader) {
  Picture picture;
  const Status status =
      ReadPng(PngFile("png_rgb8_13x6"), ReadOptions{false, 13 * 6 * 4 - 1}, picture);
  EXPECT_EQ(status.kind(), ErrorKind::kTooLarge);
  EXPECT_EQ(status.message(), "picture too large: 13 x 6 pixels");
}

}  // namespace
}  // namespace krelt
