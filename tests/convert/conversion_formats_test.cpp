// Conversions of pictures whose format is found by their content: the road
// each takes, the byte order of 16-bit pixels, notices and PNG pictures.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/output_names.h"
#include "gd/gd_test_support.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;


Bytes RgbBmp() {
  test::BmpSpec layout;
  layout.width = 2;
  layout.height = 1;
  layout.pixels = {0, 0, 0, 255, 0, 8};
  return test::MakeBmp(layout);
}

Bytes RgbPcx(std::int32_t width = 2, std::uint16_t bytesPerLine = 2) {
  test::PcxSpec layout;
  layout.planes = 3;
  layout.width = width;
  layout.height = 1;
  layout.bytesPerLine = bytesPerLine;
  layout.pixels.assign(3 * static_cast<std::size_t>(width), 0);
  layout.pixels[3] = 255;
  layout.pixels[5] = 8;
  return test::MakePcx(layout);
}

Bytes ToolPicture(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(ReadFileBytes(fs::path(KRELT_TEST_DATA_DIR) / name, bytes).ok());
  return bytes;
}

class ConversionFormatsTest : public ::testing::Test {
 protected:
  ConversionResult Convert(const std::string& name, const Bytes& bytes, bool flag1555 = false,
                           ByteOrder order = ByteOrder::kAsRoad) {
    const fs::path path = dir_ / name;
    test::WriteBytes(path, bytes);
    ConversionRequest request;
    request.sourcePath = PathToUtf8(path);
    const OutputNames names = DeriveOutputNames(request.sourcePath);
    request.outputDirectory = names.outputDirectory;
    request.outputBaseName = names.outputBaseName;
    request.flag1555 = flag1555;
    request.byteOrder = order;
    return converter_.RunConversion(request);
  }

  // The first array of the written file, decoded, and its record's format.
  Bytes Pixels(const ConversionResult& result, DataFormat* dataFormat = nullptr) {
    EXPECT_TRUE(result.status.ok()) << result.status.message();
    if (!result.status.ok()) return {};
    const GdSource source = test::ParsedGdFile(result.writtenPath);
    if (dataFormat != nullptr) *dataFormat = source.records.at(0).dataFormat;
    return test::DecodedArray(source, source.records.at(0).dataName);
  }

  test::TempDir dir_;
  Converter converter_;
};

// The name says nothing; the content decides, and with it the road: the
// BMP road stores 16-bit pixels low byte first.
TEST_F(ConversionFormatsTest, TheContentChoosesTheReaderAndTheRoad) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reference;  // the same bytes under a name of their own kind
    bool bmpRoad;
  };
  const Case cases[] = {
      {"logo.dib", RgbBmp(), "ref.bmp", true},
      {"logo", RgbBmp(), "ref.bmp", true},
      {"logo.pcx", RgbBmp(), "ref.bmp", true},
      {"photo.pcx.bmp", RgbPcx(), "ref.pcx", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool flag1555 : {false, true}) {
      const Bytes expected = Pixels(Convert(c.reference, c.bytes, flag1555));
      const ConversionResult result = Convert(c.name, c.bytes, flag1555);
      EXPECT_EQ(Pixels(result), expected);
      EXPECT_EQ(result.byteOrder, c.bmpRoad ? ByteOrder::kLowFirst : ByteOrder::kHighFirst);
    }
  }
}

TEST_F(ConversionFormatsTest, UnknownContentIsDescribed) {
  const ConversionResult result = Convert("notes.pcx", Bytes{'G', 'I', 'F', '9', '0', 'a', 1, 0, 0});
  EXPECT_EQ(result.status.kind(), ErrorKind::kUnsupported);
  EXPECT_EQ(result.status.message(),
            "notes.pcx: not a BMP, PCX, PNG or XSP picture: it starts with 47 49 46 39 30 61 01 "
            "00 (\"GIF90a..\")");
  EXPECT_EQ(Convert("empty.bmp", Bytes{}).status.message(),
            "empty.bmp: This is not a bitmap file: it is empty");
}

// Common formats Krelt does not read are named, whatever the file's name;
// near misses of their signatures keep the description of the first bytes.
TEST_F(ConversionFormatsTest, ForeignFormatsAreNamedWithAdvice) {
  using namespace std::string_view_literals;
  const auto bytes = [](std::string_view text) { return Bytes(text.begin(), text.end()); };
  const std::pair<Bytes, const char*> cases[] = {
      {bytes("GIF89a\x01\0"sv), "GIF"},
      {Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F'}, "JPEG"},
      {Bytes{'I', 'I', '*', 0, 8, 0, 0, 0}, "TIFF"},
      {Bytes{'M', 'M', 0, '*', 0, 0, 0, 8}, "TIFF"},
      {bytes("RIFF\x24\0\0\0WEBPVP8 "sv), "WebP"},
      {bytes("qoif\0\0\0\x01"sv), "QOI"},
      {bytes("P6\n7 5\n255\n"sv), "PNM"},
      {bytes("P7\nWIDTH 7\n"sv), "PAM"},
      {bytes("GIF90a\x01\0"sv), nullptr},
      {bytes("P8\n7 5\n"sv), nullptr},
      {bytes("Pixels"sv), nullptr},
  };
  for (const auto& [file, format] : cases) {
    for (const char* name : {"logo.gif", "logo.bmp"}) {
      const std::string message = Convert(name, file).status.message();
      SCOPED_TRACE(message);
      if (format != nullptr) {
        EXPECT_EQ(message, std::string(name) + ": a " + format +
                               " picture; Krelt reads BMP, PCX, PNG and XSP: save it as PNG");
      } else {
        EXPECT_NE(message.find(": it starts with "), std::string::npos);
      }
    }
  }
}

// Black and (255, 0, 8) with "1555": 0x8000 and 0xFC01 on the BMP road, 0
// and 0xFC01 on the PCX road; each road's own order unless one is asked.
TEST_F(ConversionFormatsTest, ByteOrderOfSixteenBitPixels) {
  struct Case {
    const char* name;
    Bytes bytes;
    ByteOrder order;
    Bytes pixels;
  };
  const Case cases[] = {
      {"a.bmp", RgbBmp(), ByteOrder::kAsRoad, {0x00, 0x80, 0x01, 0xFC}},
      {"b.bmp", RgbBmp(), ByteOrder::kLowFirst, {0x00, 0x80, 0x01, 0xFC}},
      {"c.bmp", RgbBmp(), ByteOrder::kHighFirst, {0x80, 0x00, 0xFC, 0x01}},
      {"d.pcx", RgbPcx(), ByteOrder::kAsRoad, {0x00, 0x00, 0xFC, 0x01}},
      {"e.pcx", RgbPcx(), ByteOrder::kHighFirst, {0x00, 0x00, 0xFC, 0x01}},
      {"f.pcx", RgbPcx(), ByteOrder::kLowFirst, {0x00, 0x00, 0x01, 0xFC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Pixels(Convert(c.name, c.bytes, true, c.order)), c.pixels);
  }
  // Pictures without 16-bit pixels are not touched.
  EXPECT_EQ(Pixels(Convert("g.bmp", RgbBmp(), false, ByteOrder::kHighFirst)),
            (Bytes{0, 0, 0, 255, 0, 8}));
}

// The conversion hands the reader's notices to the front end with the
// file name.
TEST_F(ConversionFormatsTest, NoticesComeBackWithTheResult) {
  const ConversionResult result = Convert("photo.pcx", RgbPcx(33, 34));
  ASSERT_TRUE(result.status.ok()) << result.status.message();
  EXPECT_EQ(result.notices,
            std::vector<std::string>{"photo.pcx: 24-bit PCX: 34 pixels wide as stored (bytes "
                                     "per line); its window is 33 wide"});
  EXPECT_TRUE(Convert("plain.pcx", RgbPcx()).notices.empty());
}

// PNG pictures take the PCX road: palette pictures as indices, or with
// "1555" as 16-bit pixels high byte first, transparent ones 0.
TEST_F(ConversionFormatsTest, PngPictures) {
  if (!KRELT_HAVE_PNG) {
    EXPECT_EQ(Convert("a.png", ToolPicture("png_palette4_7x5.png")).status.message(),
              "a.png: PNG pictures are not supported in this build");
    return;
  }
  DataFormat format = DataFormat::kNone;
  const Bytes indices = Pixels(Convert("p.png", ToolPicture("png_palette4_7x5.png")), &format);
  EXPECT_EQ(format, DataFormat::kOsd256);
  EXPECT_EQ(indices.size(), 35u);
  const Bytes packed =
      Pixels(Convert("t.png", ToolPicture("png_palette_trns_7x5.png"), true), &format);
  EXPECT_EQ(format, DataFormat::kOsd1555);
  ASSERT_EQ(packed.size(), 70u);
  EXPECT_EQ(packed[0] << 8 | packed[1], 0);            // navy is transparent
  EXPECT_EQ(packed[12] << 8 | packed[13], 0xFFFF);     // opaque white
  const Bytes rgb = Pixels(Convert("r.png", ToolPicture("png_rgba8_13x6.png")), &format);
  EXPECT_EQ(format, DataFormat::kNone);
  EXPECT_EQ(rgb.size(), 13u * 6 * 3);
}

}  // namespace
}  // namespace krelt
