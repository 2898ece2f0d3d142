#include "convert/conversion.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/utf8_path.h"
#include "common/worker_pool.h"
#include "convert/conversion_progress.h"
#include "convert/output_names.h"
#include "gd/gd_test_support.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;
using test::DecodedArray;
using test::FileText;
using test::FinishedHighColour;
using test::FolderEntries;
using test::ParsedGdFile;

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t length, unsigned seed) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 5 + seed * 31) & 0xFF);
  }
  return bytes;
}

Bytes RandomBytes(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(length);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

test::PcxSpec IndexedPcx(std::int32_t width, std::int32_t height) {
  test::PcxSpec layout;
  layout.width = width;
  layout.height = height;
  layout.pixels = Pattern(static_cast<std::size_t>(width * height), 1);
  layout.palette.resize(256);
  for (std::size_t k = 0; k < 256; ++k) {
    layout.palette[k] = {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(255 - k),
                       static_cast<std::uint8_t>(k * 3)};
  }
  return layout;
}

test::PcxSpec RgbPcx(std::int32_t width, std::int32_t height, Bytes rgb) {
  test::PcxSpec layout;
  layout.planes = 3;
  layout.width = width;
  layout.height = height;
  layout.pixels = std::move(rgb);
  return layout;
}

// Frames of growing sizes; 8-bit indices, or 5-6-5 values for kind 2.
test::XspSpec Sprite(std::size_t frames, std::int32_t pixelKind = 1) {
  test::XspSpec layout;
  layout.pixelKind = pixelKind;
  layout.defaultPalette = Pattern(768, 3);
  for (auto& component : layout.defaultPalette) component &= 63;
  for (std::size_t n = 0; n < frames; ++n) {
    test::XspFrameSpec frame;
    frame.width = static_cast<std::int32_t>(2 + n % 7);
    frame.height = static_cast<std::int32_t>(1 + n % 5);
    frame.pixels = Pattern(static_cast<std::size_t>(frame.width * frame.height) *
                               (pixelKind == 1 ? 1 : 2),
                           static_cast<unsigned>(n));
    layout.frames.push_back(std::move(frame));
  }
  return layout;
}

Bytes BmpBytes(std::int32_t width, std::int32_t height, std::uint16_t bits, Bytes pixels) {
  test::BmpSpec layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bits;
  layout.pixels = std::move(pixels);
  if (bits == 8) layout.colourTable.assign(256, test::Rgb{10, 20, 30});
  return test::MakeBmp(layout);
}

struct Options {
  bool flag1555 = false;
  std::string start;
  std::string end;
};

class ConversionTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    test::WriteBytes(path, bytes);
    return path;
  }

  ConversionResult Convert(const fs::path& picture, const Options& options = {}) {
    return Run(Request(picture, options));
  }

  // Runs the request, keeping the progress positions it shows.
  ConversionResult Run(ConversionRequest request) { return Run(std::move(request), converter_); }
  ConversionResult Run(ConversionRequest request, Converter& converter) {
    positions_.clear();
    request.progress = [this](std::int32_t position) { positions_.push_back(position); };
    return converter.RunConversion(request);
  }

  static ConversionRequest Request(const fs::path& picture, const Options& options = {}) {
    ConversionRequest request;
    request.sourcePath = PathToUtf8(picture);
    const OutputNames names = DeriveOutputNames(request.sourcePath);
    request.outputDirectory = names.outputDirectory;
    request.outputBaseName = names.outputBaseName;
    request.flag1555 = options.flag1555;
    request.startFrameText = options.start;
    request.endFrameText = options.end;
    return request;
  }

  // A conversion that wrote `expected`, with its report and a full bar.
  void ExpectWritten(const ConversionResult& result, const fs::path& expected) {
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    EXPECT_EQ(result.writtenPath, expected);
    EXPECT_TRUE(fs::exists(expected));
    EXPECT_FALSE(result.report.empty());
    ASSERT_FALSE(positions_.empty());
    EXPECT_EQ(positions_.back(), ConversionProgress::kRange);
  }

  // A refused conversion: a message that says why, no report, nothing
  // written.
  void ExpectRefused(const ConversionResult& result, const std::string& message) {
    EXPECT_FALSE(result.status.ok());
    EXPECT_NE(result.status.kind(), ErrorKind::kCancelled);
    EXPECT_NE(result.status.message().find(message), std::string::npos)
        << result.status.message();
    EXPECT_TRUE(result.report.empty());
    EXPECT_TRUE(result.writtenPath.empty());
  }

  test::TempDir dir_;
  Converter converter_;
  std::vector<std::int32_t> positions_;
};

TEST_F(ConversionTest, EmptyPathAsksForAFile) {
  const ConversionResult result = Run(ConversionRequest{});
  EXPECT_EQ(result.status.kind(), ErrorKind::kUsage);
  EXPECT_EQ(result.status.message(), "Select File!!");
  EXPECT_TRUE(positions_.empty());
  EXPECT_TRUE(FolderEntries(dir_.path()).empty());
}

TEST_F(ConversionTest, IndexedPcxGivesOneArrayAndOneRecord) {
  const test::PcxSpec layout = IndexedPcx(40, 20);
  const ConversionResult result = Convert(Write("Logo.pcx", test::MakePcx(layout)));
  ExpectWritten(result, dir_ / "Logo.GD");

  const std::string text = FileText(dir_ / "Logo.GD");
  EXPECT_EQ(text.rfind("#include \"type.h\"\r\nbyte _logoCpm[] = \r\n{\r\n0x", 0), 0u);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_EQ(text[i - 1], '\r') << "bare line feed at " << i;
    }
  }
  const GdSource source = ParsedGdFile(dir_ / "Logo.GD");
  ASSERT_EQ(source.arrays.size(), 1u);
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_TRUE(source.pointerTables.empty());
  const GdRecord& record = source.records[0];
  EXPECT_EQ(record.name, "_logoGd");
  EXPECT_EQ(record.dataFormat, DataFormat::kOsd256);
  EXPECT_EQ(record.dataName, "_logoCpm");
  EXPECT_EQ(record.size, 800);
  EXPECT_EQ(record.width, 40);
  EXPECT_EQ(record.height, 20);
  EXPECT_EQ(DecodedArray(source, "_logoCpm"), layout.pixels);

  ASSERT_EQ(result.report.size(), 9u);
  EXPECT_EQ(result.report[6], (ReportRow{"size", "800", ReportIcon::kField, 0}));
  EXPECT_EQ(result.report[0], (ReportRow{"TYPE_GrData", "logoGd", ReportIcon::kRecord, 0}));
}

// One bar over loading, compressing and formatting: set once, rising at
// every step, full only once the file is written.
TEST_F(ConversionTest, ProgressRisesOverTheWholeConversion) {
  Convert(Write("big.pcx", test::MakePcx(RgbPcx(400, 300, RandomBytes(360000, 5)))));
  ASSERT_TRUE(fs::exists(dir_ / "big.GD"));
  ASSERT_FALSE(positions_.empty());
  EXPECT_EQ(positions_.front(), 0);
  EXPECT_EQ(positions_.back(), ConversionProgress::kRange);
  for (std::size_t k = 1; k < positions_.size(); ++k) {
    EXPECT_GT(positions_[k], positions_[k - 1]) << k;
  }
  // 360,000 bytes are 11 chunks, and their text some 30 pieces.
  EXPECT_GE(positions_.size(), 20u);
}

// A request whose conversion cancels itself once its bar reaches cancelAt;
// the positions shown go to `positions`.
ConversionRequest CancellingAt(ConversionRequest request, CancellationToken& token,
                               std::int32_t cancelAt, std::vector<std::int32_t>& positions) {
  request.cancel = &token;
  request.progress = [&token, &positions, cancelAt](std::int32_t position) {
    positions.push_back(position);
    if (position >= cancelAt) token.Cancel();
  };
  return request;
}

// Cancelled while loading, compressing or formatting, with and without a
// pool: nothing written, no temporary file, the old GD file as it was, no
// report, and the bar never full.
TEST_F(ConversionTest, CancelledConversionLeavesTheFolderAsItWas) {
  const fs::path picture = Write("big.pcx", test::MakePcx(RgbPcx(400, 300, RandomBytes(360000, 7))));
  const fs::path sprite = Write("many.xsp", test::MakeXsp(Sprite(40)));
  test::WriteBytes(dir_ / "big.GD", Bytes{'o', 'l', 'd'});
  const std::vector<std::string> before = FolderEntries(dir_.path());
  WorkerPool pool(3);
  for (WorkerPool* usedPool : {static_cast<WorkerPool*>(nullptr), &pool}) {
    for (const auto& [source, cancelAt] :
         std::vector<std::pair<fs::path, std::int32_t>>{
             {picture, 0}, {picture, 1}, {picture, 400}, {picture, 900},
             {sprite, 1}, {sprite, 500}, {sprite, 950}}) {
      SCOPED_TRACE(PathToUtf8(source.filename()) + " at " + std::to_string(cancelAt));
      CancellationToken token;
      std::vector<std::int32_t> positions;
      Converter converter(kMaxGdTextLength, usedPool);
      const ConversionResult result =
          converter.RunConversion(CancellingAt(Request(source), token, cancelAt, positions));
      EXPECT_EQ(result.status.kind(), ErrorKind::kCancelled);
      EXPECT_TRUE(result.writtenPath.empty());
      EXPECT_TRUE(result.report.empty());
      ASSERT_FALSE(positions.empty());
      EXPECT_LT(positions.back(), ConversionProgress::kRange);
      EXPECT_EQ(FolderEntries(dir_.path()), before);
      EXPECT_EQ(FileText(dir_ / "big.GD"), "old");
    }
  }
}

TEST_F(ConversionTest, CancelledCheckReportsNoOutcome) {
  const fs::path picture = Write("big.pcx", test::MakePcx(RgbPcx(400, 300, RandomBytes(360000, 7))));
  ASSERT_TRUE(Convert(picture).status.ok());
  CancellationToken token;
  std::vector<std::int32_t> positions;
  ConversionRequest request = Request(picture);
  request.action = OutputAction::kCheck;
  const ConversionResult result =
      converter_.RunConversion(CancellingAt(request, token, 900, positions));
  EXPECT_EQ(result.status.kind(), ErrorKind::kCancelled);
  EXPECT_EQ(result.check, CheckOutcome::kNotChecked);
}

// A token never set changes nothing.
TEST_F(ConversionTest, UnsetTokenGivesTheSameFile) {
  const fs::path picture = Write("p.pcx", test::MakePcx(RgbPcx(200, 100, RandomBytes(60000, 9))));
  ASSERT_TRUE(Convert(picture).status.ok());
  const std::string plain = FileText(dir_ / "p.GD");
  CancellationToken token;
  ConversionRequest request = Request(picture);
  request.cancel = &token;
  ASSERT_TRUE(Run(request).status.ok());
  EXPECT_EQ(FileText(dir_ / "p.GD"), plain);
}

TEST_F(ConversionTest, Flag1555TurnsPalettePcxIntoFinished16BitPixels) {
  test::PcxSpec layout = IndexedPcx(3, 1);
  layout.pixels = {0, 1, 2};
  layout.palette[0] = {0, 0, 0};
  layout.palette[1] = {255, 255, 255};
  layout.palette[2] = {248, 0, 0};
  Options options;
  options.flag1555 = true;
  ExpectWritten(Convert(Write("p.pcx", test::MakePcx(layout)), options), dir_ / "p.GD");
  const GdSource source = ParsedGdFile(dir_ / "p.GD");
  // 0x0000 stays zero; 0x7FFF and 0x7C00 get bit 15, high byte first.
  EXPECT_EQ(DecodedArray(source, "_pCpm"), (Bytes{0x00, 0x00, 0xFF, 0xFF, 0xFC, 0x00}));
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_EQ(source.records[0].dataFormat, DataFormat::kOsd1555);
  EXPECT_EQ(source.records[0].size, 6);
}

TEST_F(ConversionTest, RgbPcxFinishing) {
  // Blue 0x001F and red 0x7C00 as the reader gives them, then finished.
  const Bytes rgb = {0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0};
  Options options;
  options.flag1555 = true;
  ExpectWritten(Convert(Write("c.pcx", test::MakePcx(RgbPcx(4, 1, rgb))), options),
                dir_ / "c.GD");
  EXPECT_EQ(DecodedArray(ParsedGdFile(dir_ / "c.GD"), "_cCpm"),
            (Bytes{0x80, 0x1F, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(ConversionTest, RgbPcxWithoutFlagKeepsThreeBytesAndHasNoDataFormat) {
  test::PcxSpec layout = RgbPcx(3, 2, Pattern(18, 2));
  layout.bytesPerLine = 4;  // the padding byte becomes a fourth column
  const ConversionResult result = Convert(Write("wide.pcx", test::MakePcx(layout)));
  ExpectWritten(result, dir_ / "wide.GD");
  const GdSource source = ParsedGdFile(dir_ / "wide.GD");
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_EQ(source.records[0].dataFormat, DataFormat::kNone);
  EXPECT_EQ(source.records[0].width, 4);
  EXPECT_EQ(source.records[0].size, 24);
  EXPECT_EQ(DecodedArray(source, "_wideCpm").size(), 24u);
  ASSERT_EQ(result.report.size(), 9u);
  EXPECT_EQ(result.report[3], (ReportRow{"data format", "", ReportIcon::kField, 0}));
}

TEST_F(ConversionTest, SixteenColourPcxIsWrittenAsIndexedPicture) {
  test::PcxSpec layout;
  layout.bitsPerPixel = 1;
  layout.planes = 4;
  layout.width = 10;
  layout.height = 3;
  for (std::size_t i = 0; i < 30; ++i) layout.pixels.push_back(static_cast<std::uint8_t>(i % 16));
  const fs::path picture = Write("sixteen.pcx", test::MakePcx(layout));
  for (bool flag : {false, true}) {
    Options options;
    options.flag1555 = flag;
    ASSERT_TRUE(Convert(picture, options).status.ok());
    const GdSource source = ParsedGdFile(dir_ / "sixteen.GD");
    ASSERT_EQ(source.records.size(), 1u);
    EXPECT_EQ(source.records[0].dataFormat, DataFormat::kOsd256) << flag;
    EXPECT_EQ(source.records[0].size, 30);
    EXPECT_EQ(DecodedArray(source, "_sixteenCpm"), layout.pixels) << flag;
  }
}

TEST_F(ConversionTest, BmpRoadKeepsReaderPixelsWithoutFinishing) {
  // Black and red: 0x8000 and 0xFC00 from the reader, little-endian.
  const Bytes rgb = {0, 0, 0, 255, 0, 0};
  Options options;
  options.flag1555 = true;
  const ConversionResult result =
      Convert(Write("PIC.Bmp", BmpBytes(2, 1, 24, rgb)), options);
  ExpectWritten(result, dir_ / "PIC.GD");
  const GdSource source = ParsedGdFile(dir_ / "PIC.GD");
  EXPECT_EQ(DecodedArray(source, "_picCpm"), (Bytes{0x00, 0x80, 0x00, 0xFC}));
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_EQ(source.records[0].dataFormat, DataFormat::kOsd1555);
  EXPECT_EQ(result.report.size(), 9u);
}

TEST_F(ConversionTest, BmpWithoutFlag) {
  const Bytes rgb = Pattern(3 * 5 * 2, 4);
  ExpectWritten(Convert(Write("rgb.bmp", BmpBytes(5, 2, 24, rgb))), dir_ / "rgb.GD");
  GdSource source = ParsedGdFile(dir_ / "rgb.GD");
  EXPECT_EQ(DecodedArray(source, "_rgbCpm"), rgb);
  EXPECT_EQ(source.records.at(0).dataFormat, DataFormat::kNone);

  const Bytes indices = Pattern(5 * 2, 6);
  ExpectWritten(Convert(Write("ind.bmp", BmpBytes(5, 2, 8, indices))), dir_ / "ind.GD");
  source = ParsedGdFile(dir_ / "ind.GD");
  EXPECT_EQ(DecodedArray(source, "_indCpm"), indices);
  EXPECT_EQ(source.records.at(0).dataFormat, DataFormat::kOsd256);
}

TEST_F(ConversionTest, SpriteRangeWritesNumberedFramesAndPointerTable) {
  const test::XspSpec layout = Sprite(5);
  const ConversionResult result =
      Convert(Write("anim.xsp", test::MakeXsp(layout)), Options{false, "2", "3"});
  ExpectWritten(result, dir_ / "anim2.GD");
  const GdSource source = ParsedGdFile(dir_ / "anim2.GD");
  ASSERT_EQ(source.arrays.size(), 2u);
  ASSERT_EQ(source.records.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string frame = std::to_string(2 + i);
    const test::XspFrameSpec& expected = layout.frames[2 + i];
    EXPECT_EQ(DecodedArray(source, "_anim" + frame + "Cpm"), expected.pixels);
    const GdRecord& record = source.records[i];
    EXPECT_EQ(record.name, "_anim" + frame + "Gd");
    EXPECT_EQ(record.dataFormat, DataFormat::kOsd256);
    EXPECT_EQ(record.width, expected.width);
    EXPECT_EQ(record.height, expected.height);
    EXPECT_EQ(record.size, expected.width * expected.height);
  }
  ASSERT_EQ(source.pointerTables.size(), 1u);
  EXPECT_EQ(source.pointerTables[0].name, "_animGds");
  EXPECT_EQ(source.pointerTables[0].entries,
            (std::vector<std::string>{"_anim2Gd", "_anim3Gd"}));
  const std::string text = FileText(dir_ / "anim2.GD");
  const std::string tail = "\r\nTYPE_GrData *_animGds[] =\r\n{\r\n\t&_anim2Gd,\r\n\t&_anim3Gd,\r\n};\r\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(result.report.size(), 24u);
}

TEST_F(ConversionTest, SpriteWithEmptyFieldsWritesEveryFrame) {
  ExpectWritten(Convert(Write("anim.xsp", test::MakeXsp(Sprite(5)))), dir_ / "anim.GD");
  const GdSource source = ParsedGdFile(dir_ / "anim.GD");
  EXPECT_EQ(source.arrays.size(), 5u);
  ASSERT_EQ(source.pointerTables.size(), 1u);
  EXPECT_EQ(source.pointerTables[0].entries.size(), 5u);
  EXPECT_EQ(source.arrays[4].name, "_anim4Cpm");
}

TEST_F(ConversionTest, ReportOfFramesTwoToFour) {
  const ConversionResult result =
      Convert(Write("anim.xsp", test::MakeXsp(Sprite(6))), Options{false, "2", "4"});
  ASSERT_TRUE(result.status.ok()) << result.status.message();
  ASSERT_EQ(result.report.size(), 35u);
  // Each record's rows, and each pointer, name the record's place in the file.
  EXPECT_EQ(result.report[10], (ReportRow{"TYPE_GrData", "anim3Gd", ReportIcon::kRecord, 1}));
  EXPECT_EQ(result.report[30], (ReportRow{"TYPE_GrData", "animGd", ReportIcon::kRecord}));
  EXPECT_EQ(result.report[31], (ReportRow{"", "anim2Gd", ReportIcon::kNone, 0}));
  EXPECT_EQ(result.report[32], (ReportRow{"", "anim3Gd", ReportIcon::kNone, 1}));
  EXPECT_EQ(result.report[33], (ReportRow{"", "anim4Gd", ReportIcon::kNone, 2}));
  EXPECT_EQ(result.report[34], ReportRow{});
  EXPECT_EQ(result.report[16], (ReportRow{"size", "20", ReportIcon::kField, 1}));  // frame 3: 5 x 4
}

TEST_F(ConversionTest, TwoFrameSpriteReportsItsPerFrameRecords) {
  const ConversionResult result = Convert(Write("two.xsp", test::MakeXsp(Sprite(2))));
  ExpectWritten(result, dir_ / "two.GD");
  EXPECT_EQ(ParsedGdFile(dir_ / "two.GD").records.size(), 2u);
  ASSERT_EQ(result.report.size(), 24u);
  EXPECT_EQ(result.report[0].content, "two0Gd");
  EXPECT_EQ(result.report[10].content, "two1Gd");
}

TEST_F(ConversionTest, SinglePicturesIgnoreTheFrameFields) {
  const Options options{false, "3", "-1"};
  ExpectWritten(Convert(Write("one.xsp", test::MakeXsp(Sprite(1))), options),
                dir_ / "one.GD");
  const GdSource sprite = ParsedGdFile(dir_ / "one.GD");
  ASSERT_EQ(sprite.records.size(), 1u);
  EXPECT_EQ(sprite.records[0].name, "_oneGd");
  EXPECT_TRUE(sprite.pointerTables.empty());

  const ConversionResult pcx = Convert(Write("pic.pcx", test::MakePcx(IndexedPcx(4, 4))), options);
  ExpectWritten(pcx, dir_ / "pic.GD");
  EXPECT_EQ(pcx.startFrame, 0);
  EXPECT_EQ(pcx.report.size(), 9u);
}

TEST_F(ConversionTest, SixteenBitSpriteFramesAreFinished) {
  test::XspSpec layout = Sprite(1, 2);
  // 5-6-5 blue, red, black and green, little-endian.
  layout.frames[0].width = 4;
  layout.frames[0].height = 1;
  layout.frames[0].pixels = {0x1F, 0x00, 0x00, 0xF8, 0x00, 0x00, 0xE0, 0x07};
  const fs::path picture = Write("hi.xsp", test::MakeXsp(layout));
  ExpectWritten(Convert(picture), dir_ / "hi.GD");
  const std::string first = FileText(dir_ / "hi.GD");
  const GdSource source = ParsedGdFile(dir_ / "hi.GD");
  EXPECT_EQ(DecodedArray(source, "_hiCpm"),
            (Bytes{0x80, 0x1F, 0xFC, 0x00, 0x00, 0x00, 0x83, 0xE0}));
  EXPECT_EQ(source.records.at(0).dataFormat, DataFormat::kOsd1555);
  // Finishing works on freshly loaded pixels each time.
  ASSERT_TRUE(Convert(picture).status.ok());
  EXPECT_EQ(FileText(dir_ / "hi.GD"), first);
}

TEST_F(ConversionTest, FrameRangeRefusals) {
  const fs::path picture = Write("anim.xsp", test::MakeXsp(Sprite(5)));
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"-1", "", "anim.xsp: the start frame -1 is negative"},
      {"4", "2", "anim.xsp: the frame range 4 to 2 is empty"},
      {"7", "", "the frame range 7 to 4 is empty"},
      {"", "-3", "the frame range 0 to -3 is empty"},
  };
  for (const auto& [start, end, message] : cases) {
    ExpectRefused(Convert(picture, Options{false, start, end}), message);
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"anim.xsp"});
  }
}

TEST_F(ConversionTest, NoLimitOf1024Frames) {
  const ConversionResult result = Convert(Write("many.xsp", test::MakeXsp(Sprite(1100))),
                                          Options{false, "1090", "5000"});
  ExpectWritten(result, dir_ / "many1090.GD");
  const GdSource source = ParsedGdFile(dir_ / "many1090.GD");
  ASSERT_EQ(source.arrays.size(), 10u);
  EXPECT_EQ(source.arrays.back().name, "_many1099Cpm");
  EXPECT_EQ(result.report.size(), 10u * 11 + 2);
}

TEST_F(ConversionTest, StreamsLargerThanTheOldBufferFit) {
  // Incompressible 24-bit rows: more than 3072 stream bytes per row.
  const Bytes rgb = RandomBytes(1100 * 3, 7);
  ExpectWritten(Convert(Write("wide.bmp", BmpBytes(1100, 1, 24, rgb))), dir_ / "wide.GD");
  const GdSource bmp = ParsedGdFile(dir_ / "wide.GD");
  EXPECT_GT(bmp.arrays.at(0).bytes.size(), 3072u);
  EXPECT_EQ(DecodedArray(bmp, "_wideCpm"), rgb);

  // A later frame much larger than the range's first one.
  test::XspSpec layout = Sprite(2);
  layout.frames[1].width = 300;
  layout.frames[1].height = 200;
  layout.frames[1].pixels = RandomBytes(60000, 8);
  ExpectWritten(Convert(Write("grow.xsp", test::MakeXsp(layout))), dir_ / "grow.GD");
  EXPECT_EQ(DecodedArray(ParsedGdFile(dir_ / "grow.GD"), "_grow1Cpm"), layout.frames[1].pixels);
}

TEST_F(ConversionTest, FailuresLeaveTheOldFileUntouched) {
  Bytes sprite = test::MakeXsp(Sprite(5));
  sprite.pop_back();  // the last frame's pixels are cut short
  Write("anim.GD", Bytes{'o', 'l', 'd'});
  ExpectRefused(Convert(Write("anim.xsp", sprite)), "anim.xsp: frame 4: ");
  EXPECT_EQ(FileText(dir_ / "anim.GD"), "old");
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"anim.GD", "anim.xsp"}));
}

TEST_F(ConversionTest, GdTextBeyondTheLimitIsRefusedBeforeFormatting) {
  const fs::path picture = Write("anim.xsp", test::MakeXsp(Sprite(5)));
  ExpectWritten(Convert(picture), dir_ / "anim.GD");
  const std::uintmax_t length = fs::file_size(dir_ / "anim.GD");
  fs::remove(dir_ / "anim.GD");
  // The exact length passes; one less fails on the measured text, 100 on
  // the streams alone.
  const std::vector<std::pair<std::uintmax_t, bool>> cases = {
      {length, true}, {length - 1, false}, {100, false}};
  ConversionRequest request;
  request.sourcePath = PathToUtf8(picture);
  request.outputDirectory = dir_.path();
  request.outputBaseName = "anim";
  for (const auto& [limit, written] : cases) {
    SCOPED_TRACE(limit);
    Converter limited(limit);
    const ConversionResult result = Run(request, limited);
    if (written) {
      ExpectWritten(result, dir_ / "anim.GD");
      EXPECT_EQ(fs::file_size(dir_ / "anim.GD"), length);
      fs::remove(dir_ / "anim.GD");
      continue;
    }
    ExpectRefused(result, "anim.xsp: the GD file would be larger than " +
                              std::to_string(limit) + " bytes");
    EXPECT_LE(positions_.back(), ConversionProgress::kTextStart);
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"anim.xsp"});
  }
}

TEST_F(ConversionTest, UnwritableTargetIsReported) {
  const fs::path picture = Write("logo.pcx", test::MakePcx(IndexedPcx(4, 4)));
  ConversionRequest request;
  request.sourcePath = PathToUtf8(picture);
  request.outputDirectory = dir_ / "missing";
  request.outputBaseName = "logo";
  ExpectRefused(Run(request), "logo.GD");
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"logo.pcx"});
}

TEST_F(ConversionTest, NonAsciiFolderAndFileNames) {
  const fs::path folder = dir_ / PathFromUtf8("Grafik \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
  fs::create_directory(folder);
  const fs::path picture = folder / PathFromUtf8("Bild-\xC3\xA4.pcx");
  test::WriteBytes(picture, test::MakePcx(IndexedPcx(8, 4)));
  const ConversionResult result = Convert(picture);
  ExpectWritten(result, folder / PathFromUtf8("Bild-\xC3\xA4.GD"));
  // Each byte of the UTF-8 letter gives one '_'.
  EXPECT_NE(FileText(result.writtenPath).find("byte _bild___Cpm[]"), std::string::npos);
}

// The GD file's name is taken by a folder: the temporary file is removed
// and the folder left as it was.
TEST_F(ConversionTest, FailedWriteLeavesNoTemporaryFile) {
  const fs::path picture = Write("logo.pcx", test::MakePcx(IndexedPcx(4, 4)));
  fs::create_directory(dir_ / "logo.GD");
  test::WriteBytes(dir_ / "logo.GD" / "kept", Bytes{'k'});
  ExpectRefused(Convert(picture), "logo.GD");
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"logo.GD", "logo.pcx"}));
  EXPECT_EQ(FolderEntries(dir_ / "logo.GD"), std::vector<std::string>{"kept"});
}

TEST_F(ConversionTest, UnreadablePicturesGiveClearMessages) {
  Bytes shortPcx = test::MakePcx(IndexedPcx(20, 20));
  shortPcx.resize(200);
  Bytes deepBmp = BmpBytes(2, 2, 24, Pattern(12, 1));
  test::PutLe16(deepBmp, test::kBmpInfoHeaderOffset + 14, 64);
  Bytes shortBmp = BmpBytes(20, 20, 24, Pattern(1200, 1));
  shortBmp.resize(100);
  Bytes badSprite = test::MakeXsp(Sprite(2));
  badSprite.resize(500);
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"notes.txt", Bytes{'h', 'i'}},
      {"cut.pcx", shortPcx},
      {"bad.xsp", badSprite},
      {"text.bmp", Bytes{'h', 'i'}},
      {"deep.bmp", deepBmp},
      {"short.bmp", shortBmp},
  };
  const std::vector<std::string> messages = {
      "notes.txt: not a BMP, PCX, PNG or XSP picture: it starts with 68 69 (\"hi\")",
      "cut.pcx: ",
      "bad.xsp: ",
      "text.bmp: This is not a bitmap file: it starts with 68 69 (\"hi\")",
      "deep.bmp: 64 bits per pixel are not supported",
      "short.bmp: ",
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path path = Write(files[i].first, files[i].second);
    const ConversionResult result = Convert(path);
    ExpectRefused(result, messages[i]);
    if (i == 3 || i == 4) {
      EXPECT_EQ(result.status.message(), messages[i]);  // the whole text
    }
    fs::remove(path);
    EXPECT_TRUE(FolderEntries(dir_.path()).empty()) << files[i].first;
  }
  ExpectRefused(Convert(dir_ / "missing.pcx"), "missing.pcx");
}

TEST_F(ConversionTest, IdentifiersAndNamesUseTheFileNamesOwnExtension) {
  ExpectWritten(Convert(Write("my-logo 2.pcx", test::MakePcx(IndexedPcx(3, 3)))),
                dir_ / "my-logo 2.GD");
  EXPECT_EQ(ParsedGdFile(dir_ / "my-logo 2.GD").arrays.at(0).name, "_my_logo_2Cpm");

  fs::create_directory(dir_ / "my.dir");
  ExpectWritten(Convert(Write("my.dir/picture", test::MakePcx(IndexedPcx(3, 3)))),
                dir_ / "my.dir" / "picture.GD");
  const GdSource source = ParsedGdFile(dir_ / "my.dir" / "picture.GD");
  EXPECT_EQ(source.arrays.at(0).name, "_pictureCpm");
  EXPECT_EQ(source.records.at(0).name, "_pictureGd");
}

// ---- Threads, shared streams and checks ----

// A 24-bit picture of several chunks: rows of gradients and noise.
Bytes ImageRows(std::int32_t width, std::int32_t height, unsigned seed) {
  std::mt19937 random(seed);
  Bytes rgb(static_cast<std::size_t>(width * height * 3));
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    const std::size_t x = i / 3 % static_cast<std::size_t>(width);
    rgb[i] = static_cast<std::uint8_t>(x / 3 + i % 3 * 50 + (random() % 8 == 0 ? random() % 4 : 0));
  }
  return rgb;
}

TEST_F(ConversionTest, ThreadCountDoesNotChangeTheFile) {
  test::XspSpec sprite = Sprite(9, 2);
  sprite.frames[4].width = 300;
  sprite.frames[4].height = 120;
  sprite.frames[4].pixels = RandomBytes(300 * 120 * 2, 4);
  const std::vector<fs::path> pictures = {
      Write("anim.xsp", test::MakeXsp(sprite)),
      Write("wide.bmp", BmpBytes(400, 90, 24, ImageRows(400, 90, 2))),
      Write("photo.pcx", test::MakePcx(RgbPcx(200, 70, ImageRows(200, 70, 3)))),
  };
  for (const fs::path& picture : pictures) {
    for (const bool flag1555 : {false, true}) {
      SCOPED_TRACE(PathToUtf8(picture.filename()) + (flag1555 ? " 1555" : ""));
      Options options;
      options.flag1555 = flag1555;
      const ConversionResult single = Convert(picture, options);
      ASSERT_TRUE(single.status.ok()) << single.status.message();
      const std::string expected = FileText(single.writtenPath);
      for (const unsigned threads : {2u, 3u, 8u}) {
        WorkerPool pool(threads);
        Converter pooled(kMaxGdTextLength, &pool);
        const ConversionResult result = Run(Request(picture, options), pooled);
        ASSERT_TRUE(result.status.ok()) << result.status.message();
        EXPECT_EQ(FileText(result.writtenPath), expected) << threads << " threads";
        EXPECT_EQ(result.report, single.report);
      }
    }
  }
}

// Frames 0, 2 and 3 hold the same bytes (frame 2 in another shape); each
// still gets its own array, record and size.
TEST_F(ConversionTest, IdenticalFramesShareOneStream) {
  test::XspSpec layout = Sprite(5);
  layout.frames[0].width = 40;
  layout.frames[0].height = 30;
  layout.frames[0].pixels = Pattern(1200, 9);
  layout.frames[2] = layout.frames[0];
  layout.frames[2].width = 30;
  layout.frames[2].height = 40;
  layout.frames[3] = layout.frames[0];
  const fs::path picture = Write("anim.xsp", test::MakeXsp(layout));
  for (const unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    WorkerPool pool(threads);
    Converter pooled(kMaxGdTextLength, &pool);
    const ConversionResult result = Run(Request(picture), pooled);
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    const GdSource source = ParsedGdFile(result.writtenPath);
    ASSERT_EQ(source.arrays.size(), 5u);
    for (std::size_t frame = 0; frame < 5; ++frame) {
      EXPECT_EQ(DecodedArray(source, "_anim" + std::to_string(frame) + "Cpm"),
                layout.frames[frame].pixels)
          << frame;
    }
    EXPECT_EQ(source.arrays[2].bytes, source.arrays[0].bytes);
    EXPECT_EQ(source.arrays[3].bytes, source.arrays[0].bytes);
    EXPECT_NE(source.arrays[1].bytes, source.arrays[0].bytes);
    EXPECT_EQ(source.records[2].width, 30);
    EXPECT_EQ(source.records[2].height, 40);
    EXPECT_EQ(source.records[3].size, 1200);
  }
}

TEST_F(ConversionTest, FailedFrameAmongGroupedFramesIsReportedInOrder) {
  Bytes sprite = test::MakeXsp(Sprite(7));
  sprite.pop_back();  // the last frame's pixels are cut short
  Write("anim.GD", Bytes{'o', 'l', 'd'});
  WorkerPool pool(4);
  Converter pooled(kMaxGdTextLength, &pool);
  ExpectRefused(Run(Request(Write("anim.xsp", sprite)), pooled),
                "anim.xsp: frame 6: ");
  EXPECT_EQ(FileText(dir_ / "anim.GD"), "old");
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"anim.GD", "anim.xsp"}));
}

TEST_F(ConversionTest, CheckComparesWithTheFileOnDiskAndWritesNothing) {
  const fs::path picture = Write("anim.xsp", test::MakeXsp(Sprite(3)));
  ExpectWritten(Convert(picture), dir_ / "anim.GD");
  const std::string written = FileText(dir_ / "anim.GD");
  std::string lastByteChanged = written;
  lastByteChanged.back() = 'x';
  const std::vector<std::pair<std::string, CheckOutcome>> cases = {
      {written, CheckOutcome::kSame},
      {written + "\n", CheckOutcome::kDiffers},
      {written.substr(0, written.size() - 1), CheckOutcome::kDiffers},
      {lastByteChanged, CheckOutcome::kDiffers},
      {"", CheckOutcome::kDiffers},
  };
  ConversionRequest request = Request(picture);
  request.action = OutputAction::kCheck;
  for (const auto& [onDisk, outcome] : cases) {
    SCOPED_TRACE(onDisk.size());
    test::WriteBytes(dir_ / "anim.GD", Bytes(onDisk.begin(), onDisk.end()));
    const ConversionResult result = Run(request);
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    EXPECT_EQ(result.check, outcome);
    EXPECT_EQ(result.checkedPath, dir_ / "anim.GD");
    EXPECT_TRUE(result.writtenPath.empty());
    EXPECT_EQ(FileText(dir_ / "anim.GD"), onDisk);
  }
  fs::remove(dir_ / "anim.GD");
  EXPECT_EQ(Run(request).check, CheckOutcome::kMissing);
  request.lineEnding = LineEnding::kLf;
  test::WriteBytes(dir_ / "anim.GD", Bytes(written.begin(), written.end()));
  EXPECT_EQ(Run(request).check, CheckOutcome::kDiffers);
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"anim.GD", "anim.xsp"}));
}

}  // namespace
}  // namespace krelt
