// GD files back to pictures: conversions of pictures made by independent
// tools, extracted again, against the tools' own pixel dumps; names, palettes
// and all-or-none writing.

#include "gd/gd_extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/read_back.h"
#include "gd/gd_test_support.h"
#include "image/picture_formats.h"
#include "image/png_image.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;


fs::path DataPath(const std::string& name) {
  return fs::path(KRELT_TEST_DATA_DIR) / name;
}

// A plain PPM dump: red, green, blue bytes.
Bytes DumpOf(const std::string& dumpName) {
  const std::string text = test::FileText(DataPath(dumpName));
  std::istringstream in(text);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  EXPECT_EQ(magic, "P3");
  EXPECT_EQ(maxval, 255);
  Bytes rgb;
  for (int value = 0; in >> value;) rgb.push_back(static_cast<std::uint8_t>(value));
  EXPECT_EQ(rgb.size(), static_cast<std::size_t>(3 * width * height)) << dumpName;
  return rgb;
}

Picture ReadPngFile(const fs::path& path, bool flag1555) {
  Bytes file;
  EXPECT_TRUE(ReadFileBytes(path, file).ok()) << path;
  Picture picture;
  ReadOptions options;
  options.flag1555 = flag1555;
  const Status status = ReadPng(file, options, picture);
  EXPECT_TRUE(status.ok()) << status.message();
  return picture;
}

// How a picture's 8-bit components become five bits: readers that see 8-bit
// colours round them; PCX and sprite palettes keep the top five of their
// six bits.
enum class Source { kRgb, kPalette };

unsigned FiveBits(std::uint8_t component, Source source) {
  if (source == Source::kPalette) return component >> 3;
  return std::min(31u, (component + 3u) >> 3);
}

class ExtractRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanWritePng()) GTEST_SKIP() << "this build writes no PNG pictures";
  }

  // Converts the picture into the scratch folder.
  ConversionResult Convert(const fs::path& picture, bool flag1555,
                           LineEnding lineEnding = LineEnding::kCrlf) {
    ConversionRequest request;
    request.sourcePath = PathToUtf8(picture);
    request.flag1555 = flag1555;
    request.outputDirectory = dir_.path();
    request.outputBaseName = PathToUtf8(picture.stem());
    request.lineEnding = lineEnding;
    Converter converter;
    ConversionResult result = converter.RunConversion(request);
    EXPECT_TRUE(result.status.ok()) << result.status.message();
    return result;
  }

  // Converts the picture and extracts the GD file, with the picture's
  // palette when it has one; the PNG files written.
  std::vector<fs::path> ConvertAndExtract(const fs::path& picture, bool flag1555,
                                          LineEnding lineEnding = LineEnding::kCrlf) {
    const ConversionResult result = Convert(picture, flag1555, lineEnding);
    const fs::path out = dir_.path() / "png";
    fs::create_directory(out);
    std::vector<fs::path> written;
    const Status status =
        ExtractGdFile(result.writtenPath, out, ConversionExtractOptions(result), written);
    EXPECT_TRUE(status.ok()) << status.message();
    return written;
  }

  fs::path Copy(const std::string& name) {
    fs::copy_file(DataPath(name), dir_.path() / name);
    return dir_.path() / name;
  }

  test::TempDir dir_;
};

// Every pixel of the extracted PNG against the dump: exact RGB, palette
// colours in the palette's six bits, or the five bits of "1555" widened
// again, opaque as the road sets bit 15.
void ExpectPixels(const fs::path& png, const Bytes& dump, bool flag1555,
                  Source source, bool everyPixelOpaque) {
  const Picture picture = ReadPngFile(png, false);
  // Read once more for the alpha: bit 15 where it is 128 or more.
  const Picture alpha = ReadPngFile(png, true);
  const std::size_t count = dump.size() / 3;
  for (std::size_t i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
    const std::uint8_t* want = &dump[3 * i];
    SCOPED_TRACE(png.filename().string() + " pixel " + std::to_string(i));
    if (flag1555) {
      ASSERT_EQ(picture.pixelFormat, kPixelFormatRgb);
      const std::uint8_t* got = &picture.pixels[3 * i];
      bool black = true;
      for (int c = 0; c < 3; ++c) {
        const unsigned five = FiveBits(want[c], source);
        black = black && five == 0;
        EXPECT_EQ(got[c], (five << 3) | (five >> 2)) << "component " << c;
      }
      const bool opaque = (alpha.pixels[2 * i + 1] & 0x80) != 0;
      EXPECT_EQ(opaque, everyPixelOpaque || !black);
    } else if (picture.pixelFormat == kPixelFormatIndexed) {
      const std::uint8_t index = picture.pixels[i];
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(picture.palette[3 * index + c], want[c] >> 2) << "component " << c;
      }
    } else {
      ASSERT_EQ(picture.pixelFormat, kPixelFormatRgb);
      EXPECT_TRUE(std::equal(want, want + 3, &picture.pixels[3 * i]));
    }
  }
}

TEST_F(ExtractRoundTrip, ToolPicturesComeBackWithAndWithout1555) {
  struct Case {
    std::string picture;
    Source source;
    bool bmpRoad;
  };
  const Case cases[] = {
      {"bmp24_13x6.bmp", Source::kRgb, true},
      {"bmp24_7x5.bmp", Source::kRgb, true},
      {"bmp8_13x6.bmp", Source::kRgb, true},
      {"bmp8_rle_13x6.bmp", Source::kRgb, true},
      {"pcx24_13x6.pcx", Source::kRgb, false},
      {"pcx256_13x6.pcx", Source::kPalette, false},
      {"pcx256_7x5.pcx", Source::kPalette, false},
      {"png_rgb8_13x6.png", Source::kRgb, false},
      {"png_rgb8_interlaced_13x6.png", Source::kRgb, false},
      {"png_palette8_13x6.png", Source::kRgb, false},
      {"png_palette4_7x5.png", Source::kRgb, false},
  };
  for (const Case& item : cases) {
    const fs::path picture = Copy(item.picture);
    const Bytes dump = DumpOf(picture.stem().string() + ".expected.ppm");
    for (bool flag1555 : {false, true}) {
      SCOPED_TRACE(item.picture + (flag1555 ? " with 1555" : ""));
      const std::vector<fs::path> written = ConvertAndExtract(picture, flag1555);
      ASSERT_EQ(written.size(), 1u);
      EXPECT_EQ(written[0].filename(), picture.stem().string() + ".png");
      ExpectPixels(written[0], dump, flag1555, item.source, item.bmpRoad);
    }
  }
}

TEST_F(ExtractRoundTrip, SixteenColourPcxKeepsIndicesEvenWith1555) {
  const fs::path picture = Copy("pcx16_4planes_13x6.pcx");
  const Bytes dump = DumpOf("pcx16_4planes_13x6.expected.ppm");
  for (bool flag1555 : {false, true}) {
    const std::vector<fs::path> written = ConvertAndExtract(picture, flag1555);
    ASSERT_EQ(written.size(), 1u);
    ExpectPixels(written[0], dump, false, Source::kPalette, false);
  }
}

TEST_F(ExtractRoundTrip, LfFilesExtractLikeCrlfFiles) {
  const fs::path picture = Copy("pcx24_7x5.pcx");
  const Bytes dump = DumpOf("pcx24_7x5.expected.ppm");
  const std::vector<fs::path> written = ConvertAndExtract(picture, false, LineEnding::kLf);
  ASSERT_EQ(written.size(), 1u);
  ExpectPixels(written[0], dump, false, Source::kRgb, false);
}

// The pixels of a tool's picture as the frames of a sprite file: its
// indices and palette, and the same turned upside down.
test::XspSpec SpriteOfToolPicture(const Picture& picture) {
  test::XspSpec layout;
  layout.pixelKind = 1;
  layout.defaultPalette.assign(picture.palette.begin(), picture.palette.end());
  test::XspFrameSpec frame;
  frame.width = picture.width;
  frame.height = picture.height;
  frame.pixels = picture.pixels;
  layout.frames.push_back(frame);
  for (std::int32_t row = 0; row < picture.height; ++row) {
    std::copy_n(picture.pixels.begin() + row * picture.width, picture.width,
                frame.pixels.begin() + (picture.height - 1 - row) * picture.width);
  }
  layout.frames.push_back(frame);
  return layout;
}

Bytes UpsideDown(const Bytes& rgb, int width, int height) {
  Bytes turned(rgb.size());
  for (int row = 0; row < height; ++row) {
    std::copy_n(rgb.begin() + 3 * row * width, 3 * width,
                turned.begin() + 3 * (height - 1 - row) * width);
  }
  return turned;
}

TEST_F(ExtractRoundTrip, SpriteFramesComeBackOneFileEach) {
  Bytes pcx;
  ASSERT_TRUE(ReadFileBytes(DataPath("pcx256_13x6.pcx"), pcx).ok());
  Picture tool;
  ASSERT_TRUE(DetectPictureFormat(pcx)->read(pcx, ReadOptions{}, tool).ok());
  const fs::path sprite = dir_.path() / "walk.xsp";
  test::WriteBytes(sprite, test::MakeXsp(SpriteOfToolPicture(tool)));
  const Bytes dump = DumpOf("pcx256_13x6.expected.ppm");
  const Bytes frames[] = {dump, UpsideDown(dump, 13, 6)};
  for (bool flag1555 : {false, true}) {
    SCOPED_TRACE(flag1555 ? "with 1555" : "without 1555");
    const std::vector<fs::path> written = ConvertAndExtract(sprite, flag1555);
    ASSERT_EQ(written.size(), 2u);
    for (std::size_t frame = 0; frame < 2; ++frame) {
      EXPECT_EQ(written[frame].filename(), "walk_" + std::to_string(frame) + ".png");
      ExpectPixels(written[frame], frames[frame], flag1555, Source::kPalette, false);
    }
  }
}

TEST_F(ExtractRoundTrip, SixteenBitSpriteFramesKeepTheirFiveBitFields) {
  const Bytes dump = DumpOf("bmp24_13x6.expected.ppm");
  test::XspSpec layout;
  layout.pixelKind = 2;
  layout.defaultPalette.assign(768, 0);
  test::XspFrameSpec frame;
  frame.width = 13;
  frame.height = 6;
  for (std::size_t i = 0; i < dump.size(); i += 3) {
    const unsigned value = (dump[i] >> 3) << 11 | (dump[i + 1] >> 2) << 5 | dump[i + 2] >> 3;
    frame.pixels.push_back(static_cast<std::uint8_t>(value));
    frame.pixels.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  layout.frames.push_back(frame);
  const fs::path sprite = dir_.path() / "sixteen.xsp";
  test::WriteBytes(sprite, test::MakeXsp(layout));
  const std::vector<fs::path> written = ConvertAndExtract(sprite, false);
  ASSERT_EQ(written.size(), 1u);
  // 5-6-5 values lose the lowest green bit: the top five bits of each
  // 8-bit component remain.
  ExpectPixels(written[0], dump, true, Source::kPalette, false);
}

TEST(RecordPicture, SixteenBitPixelsWidenAndTakeAlphaFromBit15) {
  const VerifiedRecord record{NewRecord("a", DataFormat::kOsd1555, 6, 3, 1), 0, 6};
  // 0x801F: opaque blue; 0x7C00: red with bit 15 clear; 0x0000.
  const Bytes highFirst = {0x80, 0x1F, 0x7C, 0x00, 0x00, 0x00};
  const Bytes lowFirst = {0x1F, 0x80, 0x00, 0x7C, 0x00, 0x00};
  const Bytes want = {0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0};
  for (const auto& [pixels, lowByteFirst] : {std::pair{highFirst, false}, std::pair{lowFirst, true}}) {
    ExtractOptions options;
    options.lowByteFirst = lowByteFirst;
    PngPicture picture;
    ASSERT_TRUE(RecordPicture(record, pixels, options, picture).ok());
    EXPECT_EQ(picture.colour, PngColour::kRgba);
    EXPECT_EQ(picture.pixels, want);
  }
}

TEST(RecordPicture, IndicesWithoutPaletteShowAGreyRamp) {
  const VerifiedRecord record{NewRecord("a", DataFormat::kOsd256, 2, 2, 1), 0, 2};
  PngPicture picture;
  ASSERT_TRUE(RecordPicture(record, Bytes{7, 200}, ExtractOptions{}, picture).ok());
  EXPECT_EQ(picture.colour, PngColour::kPalette);
  EXPECT_EQ(picture.pixels, (Bytes{7, 200}));
  for (int index : {0, 7, 200, 255}) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(picture.palette[3 * index + c], index);
  }
}

TEST(RecordPicture, PixelsThatDoNotFillTheSidesAreRefused) {
  const VerifiedRecord record{NewRecord("a", DataFormat::kNone, 9, 2, 2), 0, 9};
  PngPicture picture;
  EXPECT_FALSE(RecordPicture(record, Bytes(9, 0), ExtractOptions{}, picture).ok());
}

GdSource SourceNaming(std::vector<std::string> records, std::string table = {}) {
  GdSource source;
  for (std::string& name : records) {
    source.records.emplace_back();
    source.records.back().name = name;
  }
  if (!table.empty()) {
    source.pointerTables.emplace_back();
    source.pointerTables.back().name = table;
  }
  return source;
}

TEST(ShownPicture, ReaderPicturesBecomeEightBitComponents) {
  Picture indexed;
  indexed.width = 2;
  indexed.height = 1;
  indexed.pixels = {1, 0};
  indexed.palette[3] = 63;
  indexed.palette[5] = 32;
  const PngPicture shownIndexed = ShownPicture(indexed);
  EXPECT_EQ(shownIndexed.colour, PngColour::kPalette);
  EXPECT_EQ(shownIndexed.pixels, (Bytes{1, 0}));
  EXPECT_EQ(Bytes(shownIndexed.palette.begin(), shownIndexed.palette.begin() + 6),
            (Bytes{0, 0, 0, 255, 0, 130}));

  // 16-bit pixels show opaque whatever their bit 15: 0x7C00 red, 0x0000.
  Picture sixteen = indexed;
  sixteen.pixelFormat = kPixelFormat16Bit;
  sixteen.pixels = {0x00, 0x7C, 0x00, 0x00};
  const PngPicture shownSixteen = ShownPicture(sixteen);
  EXPECT_EQ(shownSixteen.colour, PngColour::kRgba);
  EXPECT_EQ(shownSixteen.pixels, (Bytes{255, 0, 0, 255, 0, 0, 0, 255}));

  // Readers may hand over more bytes than the sides hold; only those show.
  Picture rgb = indexed;
  rgb.pixelFormat = kPixelFormatRgb;
  rgb.pixels = {1, 2, 3, 4, 5, 6, 7};
  const PngPicture shownRgb = ShownPicture(rgb);
  EXPECT_EQ(shownRgb.colour, PngColour::kRgb);
  EXPECT_EQ(shownRgb.pixels, (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(PngFileNames, SinglePicturesAndSpriteFrames) {
  struct Case {
    GdSource source;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {SourceNaming({"_logoGd"}), {"logo.png"}},
      {SourceNaming({"_walk0Gd", "_walk1Gd", "_walk12Gd"}, "_walkGds"),
       {"walk_0.png", "walk_1.png", "walk_12.png"}},
      // Records not named after the table keep their own names.
      {SourceNaming({"_walk3Gd", "_otherGd"}, "_walkGds"), {"walk_3.png", "other.png"}},
      {SourceNaming({"_walkerGd"}, "_walkGds"), {"walker.png"}},
  };
  for (const Case& item : cases) {
    std::vector<std::string> names;
    ASSERT_TRUE(PngFileNames(item.source, names).ok());
    EXPECT_EQ(names, item.names);
  }
}

TEST(PngFileNames, TwoRecordsOfOneFileNameAreRefused) {
  std::vector<std::string> names;
  const Status status =
      PngFileNames(SourceNaming({"_a1Gd", "_a_1Gd"}, "_aGds"), names);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("_a_1Gd"), std::string::npos) << status.message();
  EXPECT_TRUE(names.empty());
}

TEST(ReadPicturePalette, PicturesWithoutPaletteAreRefused) {
  Palette8 palette{};
  const Status status = ReadPicturePalette(DataPath("bmp24_7x5.bmp"), palette);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("bmp24_7x5.bmp"), std::string::npos);
}

TEST(ReadPicturePalette, SixBitEntriesWidenToEightBits) {
  test::XspSpec layout;
  layout.pixelKind = 1;
  layout.defaultPalette.assign(768, 0);
  layout.defaultPalette[3] = 63;
  layout.defaultPalette[4] = 32;
  layout.frames.emplace_back();
  layout.frames.back().pixels = {1};
  test::TempDir dir;
  test::WriteBytes(dir.path() / "p.xsp", test::MakeXsp(layout));
  Palette8 palette{};
  ASSERT_TRUE(ReadPicturePalette(dir.path() / "p.xsp", palette).ok());
  EXPECT_EQ(palette[3], 255);
  EXPECT_EQ(palette[4], 130);
  EXPECT_EQ(palette[5], 0);
}

// All or none: a failure at the last file leaves the files already there
// as they were and adds none; once it is gone, every file is replaced.
TEST(WriteFilesTogether, AllOrNone) {
  test::TempDir dir;
  test::WriteBytes(dir.path() / "a.png", Bytes{9});
  test::WriteBytes(dir.path() / "b.png", Bytes{8});
  fs::create_directory(dir.path() / "d.png");  // a folder cannot be replaced
  const std::vector<NamedFile> files = {
      {"a.png", {1, 2}}, {"b.png", {3}}, {"c.png", {4}}, {"d.png", {5}}};
  std::vector<fs::path> written;
  const Status status = WriteFilesTogether(dir.path(), files, written);
  EXPECT_NE(status.message().find("d.png"), std::string::npos) << status.message();
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(test::FolderEntries(dir.path()), (std::vector<std::string>{"a.png", "b.png", "d.png"}));
  EXPECT_EQ(test::FileText(dir.path() / "a.png"), "\x09");
  EXPECT_EQ(test::FileText(dir.path() / "b.png"), "\x08");

  fs::remove(dir.path() / "d.png");
  ASSERT_TRUE(WriteFilesTogether(dir.path(), files, written).ok());
  EXPECT_EQ(test::FolderEntries(dir.path()),
            (std::vector<std::string>{"a.png", "b.png", "c.png", "d.png"}));
  EXPECT_EQ(test::FileText(dir.path() / "a.png"), std::string("\x01\x02"));
}

TEST_F(ExtractRoundTrip, DamagedArraysLeaveNoPicture) {
  test::XspSpec layout;
  layout.pixelKind = 1;
  layout.defaultPalette.assign(768, 0);
  for (std::uint8_t index : {1, 2, 3}) {
    test::XspFrameSpec frame;
    frame.width = 4;
    frame.height = 2;
    frame.pixels = Bytes(8, index);
    layout.frames.push_back(frame);
  }
  const fs::path sprite = dir_.path() / "three.xsp";
  test::WriteBytes(sprite, test::MakeXsp(layout));
  const fs::path gd = Convert(sprite, false).writtenPath;
  std::string text = test::FileText(gd);
  // The last data byte of the last array, changed: its CRC no longer holds.
  const std::size_t last = text.rfind("0x", text.find("};", text.rfind("Cpm[]")));
  ASSERT_NE(last, std::string::npos);
  text.replace(last, 4, text.compare(last, 4, "0x00") == 0 ? "0x01" : "0x00");
  test::WriteBytes(gd, Bytes(text.begin(), text.end()));
  std::vector<fs::path> written;
  const Status status = ExtractGdFile(gd, dir_.path(), ExtractOptions{}, written);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("record _three2Gd"), std::string::npos) << status.message();
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(test::FolderEntries(dir_.path()),
            (std::vector<std::string>{"three.GD", "three.xsp"}));
}

}  // namespace
}  // namespace krelt
