#include "gd/gd_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gd/gd_text.h"

namespace krelt {
namespace {

GdDocument SpriteDocument() {
  GdDocument document;
  document.identifierName = "anim";
  document.perFrameRecords = true;
  std::vector<std::uint8_t> longStream(40);
  for (std::size_t i = 0; i < longStream.size(); ++i) {
    longStream[i] = static_cast<std::uint8_t>(250 + i);
  }
  document.pictures.push_back({NewRecord("anim2", DataFormat::kOsd1555, 8, 2, 2), longStream});
  document.pictures.push_back({NewRecord("anim3", DataFormat::kOsd1555, 18, 3, 3), {0x00, 0xff}});
  return document;
}

TEST(GdReaderTest, ReadsBackWhatTheWriterWrites) {
  for (LineEnding lineEnding : {LineEnding::kCrlf, LineEnding::kLf}) {
    const GdDocument document = SpriteDocument();
    GdSource source;
    const Status status = ParseGdSource(FormatGdText(document, lineEnding), source);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(source.includes, std::vector<std::string>{"type.h"});
    ASSERT_EQ(source.arrays.size(), 2u);
    EXPECT_EQ(source.arrays[0].name, "_anim2Cpm");
    EXPECT_EQ(source.arrays[0].bytes, document.pictures[0].stream);
    EXPECT_EQ(source.arrays[0].line, 2u);
    EXPECT_EQ(source.arrays[1].bytes, document.pictures[1].stream);
    ASSERT_EQ(source.records.size(), 2u);
    const GdRecord& record = source.records[1];
    EXPECT_EQ(record.name, "_anim3Gd");
    EXPECT_EQ(record.version, 1);
    EXPECT_EQ(record.reserved, 0);
    EXPECT_EQ(record.dataFormat, DataFormat::kOsd1555);
    EXPECT_EQ(record.compressMethod, "COMPRESS_Tfp");
    EXPECT_EQ(record.dataName, "_anim3Cpm");
    EXPECT_EQ(record.size, 18);
    EXPECT_EQ(record.width, 3);
    EXPECT_EQ(record.height, 3);
    ASSERT_EQ(source.pointerTables.size(), 1u);
    EXPECT_EQ(source.pointerTables[0].name, "_animGds");
    EXPECT_EQ(source.pointerTables[0].entries,
              (std::vector<std::string>{"_anim2Gd", "_anim3Gd"}));
    EXPECT_EQ(source.FindArray("_anim3Cpm"), &source.arrays[1]);
    EXPECT_EQ(source.FindRecord("_anim2Gd"), &source.records[0]);
    EXPECT_EQ(source.FindRecord("_animGd"), nullptr);
  }
}

TEST(GdReaderTest, RecordWithoutDataFormatLine) {
  GdDocument document = SpriteDocument();
  document.perFrameRecords = false;
  document.pictures.resize(1);
  document.pictures[0].record = NewRecord("anim", DataFormat::kNone, 12, 2, 2);
  GdSource source;
  ASSERT_TRUE(ParseGdSource(FormatGdText(document, LineEnding::kCrlf), source).ok());
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_EQ(source.records[0].name, "_animGd");
  EXPECT_EQ(source.records[0].dataFormat, DataFormat::kNone);
  EXPECT_EQ(source.records[0].compressMethod, "COMPRESS_Tfp");
  EXPECT_TRUE(source.pointerTables.empty());
}

TEST(GdReaderTest, SpacingAndCommentsAreFree) {
  const char text[] =
      "/* made by hand */ #include \"type.h\"\n"
      "byte _aCpm[]={0x01,2,0XfF};  // no comma after the last item\n"
      "TYPE_GrData _aGd = { 1, 0, OSD_256, COMPRESS_Tfp, _aCpm, 3, -1, 1, };\n"
      "TYPE_GrData *_aGds[] = {};\n";
  GdSource source;
  const Status status = ParseGdSource(text, source);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(source.arrays.size(), 1u);
  EXPECT_EQ(source.arrays[0].bytes, (std::vector<std::uint8_t>{1, 2, 255}));
  ASSERT_EQ(source.records.size(), 1u);
  EXPECT_EQ(source.records[0].width, -1);
  EXPECT_EQ(source.records[0].line, 3u);
  ASSERT_EQ(source.pointerTables.size(), 1u);
  EXPECT_TRUE(source.pointerTables[0].entries.empty());
}

TEST(GdReaderTest, MalformedTextGivesTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"byte _aCpm[] = \n{\n0x100,\n};", "line 3: byte item above 0xff"},
      {"byte _aCpm[] = {0x1g};", "line 1: malformed"},
      {"byte _aCpm[] = {0x01 0x02};", "line 1: expected ',' or '}'"},
      {"byte _aCpm[] = {0x01,", "end of the text"},
      {"byte _aCpm[] = {};\n\n  byte", "line 3: expected a name"},
      {"TYPE_GrData _aGd =\n{\n\t1,\n\t0,\n\tCOMPRESS_Tfp,\n\t_aCpm,\n\t99999999999,",
       "line 7: malformed or too large number"},
      {"TYPE_GrData _aGd = {1, 0, COMPRESS_Tfp, _aCpm, 2147483648, 1, 1};",
       "line 1: number out of the 32-bit range"},
      {"TYPE_GrData _aGd = {1, 0, OSD_256, _aCpm, 1, 1, 1};",
       "expected a name as the data array, found '1'"},
      {"TYPE_GrData *_aGds[] = {\n_aGd };", "line 2: expected '&'"},
      {"\n/* open", "unterminated comment"},
      {"#include type.h", "expected a quoted file name"},
      {"#include \"type.h\n\"", "unterminated string"},
      {"\n\nint x;", "line 3: expected a declaration, found 'int'"},
      {"byte @", "line 1: unexpected character '@'"},
  };
  for (const auto& [text, message] : cases) {
    GdSource source;
    source.includes.push_back("stale");
    const Status status = ParseGdSource(text, source);
    ASSERT_FALSE(status.ok()) << text;
    EXPECT_NE(status.message().find(message), std::string::npos)
        << text << "\n-> " << status.message();
    EXPECT_TRUE(source.includes.empty() && source.arrays.empty() &&
                source.records.empty());
  }
}

// A message shows no raw control or non-UTF-8 byte of the text it quotes.
TEST(GdReaderTest, UnprintableBytesAreEscapedInMessages) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xEF\xBB\xBF#include \"type.h\"\r\n",
       "line 1: the file starts with a UTF-8 byte-order mark"},
      {"byte \xEF\xBB\xBF", "line 1: unexpected character '\\xEF'"},
      {"\n\x01", "line 2: unexpected character '\\x01'"},
      {"byte _aCpm[] = {0x01,\x7F", "unexpected character '\\x7F'"},
      {"byte \"a\x1B[2J\"", "found \"a\\x1B[2J\""},
  };
  for (const auto& [text, message] : cases) {
    GdSource source;
    const Status status = ParseGdSource(text, source);
    EXPECT_EQ(status.kind(), ErrorKind::kDamaged) << message;
    EXPECT_NE(status.message().find(message), std::string::npos)
        << message << "\n-> " << status.message();
  }
}

TEST(GdReaderTest, LongTokensAreShortenedInMessages) {
  GdSource source;
  const Status status = ParseGdSource(std::string(100000, 'x'), source);
  ASSERT_FALSE(status.ok());
  EXPECT_LT(status.message().size(), 120u);
}

}  // namespace
}  // namespace krelt
