#include "gd/gd_text.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace krelt {
namespace {

std::vector<std::uint8_t> Sequence(std::size_t length, std::uint8_t first,
                                   std::uint8_t step) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>(first + i * step);
  }
  return bytes;
}

GdPicture Picture(std::string_view name, DataFormat format, std::vector<std::uint8_t> stream,
                  std::int32_t size = 0, std::int32_t width = 0, std::int32_t height = 0) {
  return {NewRecord(name, format, size, width, height), std::move(stream)};
}

std::string WithCrlf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

// The 40 x 20 8-bit picture Logo.pcx whose stream is 30 bytes long.
GdDocument LogoDocument() {
  GdDocument document;
  document.identifierName = "logo";
  document.pictures.push_back(
      Picture("logo", DataFormat::kOsd256, Sequence(30, 0xA0, 0x0B), 800, 40, 20));
  return document;
}

const char kLogoText[] =
    "#include \"type.h\"\n"
    "byte _logoCpm[] = \n{\n"
    "0xa0,0xab,0xb6,0xc1,0xcc,0xd7,0xe2,0xed,0xf8,0x03,0x0e,0x19,0x24,0x2f,0x3a,0x45,\n"
    "0x50,0x5b,0x66,0x71,0x7c,0x87,0x92,0x9d,0xa8,0xb3,0xbe,0xc9,0xd4,0xdf,"
    "\n};\n\n"
    "\nTYPE_GrData _logoGd =\n{\n"
    "\t1,\t\t//version\n"
    "\t0,\t\t//reserved\n"
    "\tOSD_256,\t\t//data format\n"
    "\tCOMPRESS_Tfp,\t\t//compressed method\n"
    "\t_logoCpm,\t\t//data\n"
    "\t800,\t\t//size\n"
    "\t40,\t\t//width\n"
    "\t20\t\t//height\n"
    "};\n";

TEST(GdTextTest, SinglePictureIsWrittenCharacterForCharacter) {
  EXPECT_EQ(FormatGdText(LogoDocument(), LineEnding::kLf), kLogoText);
}

TEST(GdTextTest, MeasuredLengthIsTheFormattedLength) {
  GdDocument frames;
  frames.identifierName = "walk";
  frames.perFrameRecords = true;
  for (const std::size_t length : std::vector<std::size_t>{0, 1, 15, 16, 17, 32, 33, 1000}) {
    frames.pictures.push_back(Picture("walk" + std::to_string(length + 7),
                                      DataFormat::kOsd1555, Sequence(length, 3, 5), 123456,
                                      300, 2));
  }
  GdDocument rgb = LogoDocument();
  rgb.pictures[0].record.dataFormat = DataFormat::kNone;
  for (const GdDocument& document : {LogoDocument(), frames, rgb, GdDocument()}) {
    for (LineEnding lineEnding : {LineEnding::kLf, LineEnding::kCrlf}) {
      SCOPED_TRACE(document.identifierName);
      EXPECT_EQ(GdTextLength(document, lineEnding),
                FormatGdText(document, lineEnding).size());
    }
  }
}

TEST(GdTextTest, CrlfTurnsEveryLineEndIntoCarriageReturnLineFeed) {
  const std::string crlf = FormatGdText(LogoDocument(), LineEnding::kCrlf);
  EXPECT_EQ(crlf, WithCrlf(kLogoText));
  EXPECT_EQ(FormatGdText(LogoDocument(), LineEnding::kLf).find('\r'),
            std::string::npos);
}

TEST(GdTextTest, DataFormatLineFollowsTheFormat) {
  const std::vector<std::pair<DataFormat, std::string>> cases = {
      {DataFormat::kOsd256, "\t0,\t\t//reserved\n\tOSD_256,\t\t//data format\n\tCOMPRESS_Tfp,"},
      {DataFormat::kOsd1555, "\t0,\t\t//reserved\n\tOSD_1555,\t\t//data format\n\tCOMPRESS_Tfp,"},
      // 24-bit RGB: the record has no data-format line at all.
      {DataFormat::kNone, "\t0,\t\t//reserved\n\tCOMPRESS_Tfp,"},
  };
  for (const auto& [format, lines] : cases) {
    GdDocument document = LogoDocument();
    document.pictures[0].record.dataFormat = format;
    const std::string text = FormatGdText(document, LineEnding::kLf);
    EXPECT_NE(text.find(lines), std::string::npos) << text;
  }
}

TEST(GdTextTest, LineBreaksFallBeforeEverySixteenthItem) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {1, "{\n0x00,\n};"},
      {16, "{\n" + std::string("0x00,") + "0x01,0x02,0x03,0x04,0x05,0x06,0x07,"
                   "0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e,0x0f,\n};"},
      {17, "0x0e,0x0f,\n0x10,\n};"},
      {33, "0x0f,\n0x10,0x11,0x12,0x13,0x14,0x15,0x16,0x17,0x18,0x19,0x1a,0x1b,"
           "0x1c,0x1d,0x1e,0x1f,\n0x20,\n};"},
  };
  for (const auto& [length, excerpt] : cases) {
    GdDocument document;
    document.identifierName = "x";
    document.pictures.push_back(Picture("x", DataFormat::kNone, Sequence(length, 0, 1)));
    const std::string text = FormatGdText(document, LineEnding::kLf);
    EXPECT_NE(text.find(excerpt), std::string::npos) << length << "\n" << text;
  }
}

TEST(GdTextTest, EmptyStreamGivesAnEmptyArray) {
  GdDocument document;
  document.identifierName = "x";
  document.pictures.push_back(Picture("x", DataFormat::kNone, {}));
  EXPECT_NE(FormatGdText(document, LineEnding::kLf).find("byte _xCpm[] = \n{\n\n};\n\n"),
            std::string::npos);
}

TEST(GdTextTest, FramesCarryTheirNumbersAndAPointerTable) {
  GdDocument document;
  document.identifierName = "anim";
  document.perFrameRecords = true;
  document.pictures.push_back(Picture("anim2", DataFormat::kOsd1555, {0x11, 0x22}, 8, 2, 2));
  document.pictures.push_back(Picture("anim3", DataFormat::kOsd1555, {0x33}, 18, 3, 3));
  const std::string text = FormatGdText(document, LineEnding::kCrlf);
  EXPECT_NE(text.find(WithCrlf("byte _anim2Cpm[] = \n{\n0x11,0x22,\n};\n\n"
                               "byte _anim3Cpm[] = \n{\n0x33,\n};\n\n"
                               "\nTYPE_GrData _anim2Gd =\n{\n")),
            std::string::npos);
  EXPECT_NE(text.find(WithCrlf("\t_anim3Cpm,\t\t//data\n\t18,\t\t//size\n"
                               "\t3,\t\t//width\n\t3\t\t//height\n};\n")),
            std::string::npos);
  const std::string table = WithCrlf(
      "};\n\nTYPE_GrData *_animGds[] =\n{\n\t&_anim2Gd,\n\t&_anim3Gd,\n};\n");
  ASSERT_GE(text.size(), table.size());
  EXPECT_EQ(text.substr(text.size() - table.size()), table);
}

TEST(GdTextTest, ProgressFollowsEachStreamInAFewSteps) {
  GdDocument document;
  document.identifierName = "x";
  document.pictures.push_back(Picture("x", DataFormat::kNone, Sequence(5000, 1, 3)));
  document.pictures.push_back(Picture("x", DataFormat::kNone, Sequence(40, 1, 3)));
  std::vector<std::pair<std::size_t, std::size_t>> calls;
  FormatGdText(document, LineEnding::kLf,
               [&calls](std::size_t done, std::size_t length) {
                 calls.emplace_back(done, length);
               });
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), std::make_pair(std::size_t{0}, std::size_t{5000}));
  std::size_t firstStreamCalls = 0;
  for (std::size_t i = 0; i < calls.size() && calls[i].second == 5000; ++i) {
    ++firstStreamCalls;
    if (i > 0) {
      EXPECT_GT(calls[i].first, calls[i - 1].first);
    }
  }
  EXPECT_LE(firstStreamCalls, 102u);
  EXPECT_GE(firstStreamCalls, 20u);
  EXPECT_EQ(calls[firstStreamCalls - 1], std::make_pair(std::size_t{5000}, std::size_t{5000}));
  EXPECT_EQ(calls[firstStreamCalls], std::make_pair(std::size_t{0}, std::size_t{40}));
  EXPECT_EQ(calls.back(), std::make_pair(std::size_t{40}, std::size_t{40}));
}

}  // namespace
}  // namespace krelt
