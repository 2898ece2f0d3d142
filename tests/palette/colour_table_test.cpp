// Colour table files: each format written and read back, bad tables refused
// with the line at fault.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/colour_table.h"
#include "image/png_writer.h"
#include "image/reference_pictures.h"

namespace krelt {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

ColourTable SomeColours() {
  return {{{0, 0, 0}, {255, 255, 255}, {1, 2, 3}, {250, 128, 7}, {17, 99, 201}}};
}

TEST(ColourTableTest, EachFormatReadsBackWhatWasWritten) {
  const ColourTable table = SomeColours();
  for (const TableFormat format : {TableFormat::kGpl, TableFormat::kJasc, TableFormat::kPng}) {
    if (format == TableFormat::kPng && !CanWritePng()) continue;
    SCOPED_TRACE(static_cast<int>(format));
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(FormatColourTable(table, format, "menu", file).ok());
    ColourTable read;
    const Status status = ParseColourTable(file, read);
    ASSERT_TRUE(status.ok()) << status.message();
    // The swatch always holds 256 entries, black past the table.
    ColourTable expected = table;
    if (format == TableFormat::kPng) expected.entries.resize(kMaxTableColours);
    EXPECT_EQ(read, expected);
  }
}

TEST(ColourTableTest, CSourceHoldsBytesAndHighColourValues) {
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(FormatColourTable(SomeColours(), TableFormat::kC, "menu-1", file).ok());
  const std::string text(file.begin(), file.end());
  EXPECT_NE(text.find("byte _menu_1Palette[] = \n{\n0x00,0x00,0x00,0xff,0xff,0xff,0x01,"),
            std::string::npos);
  // (250, 128, 7) rounds to five bits as 31, 16, 1, with bit 15 set.
  EXPECT_NE(text.find("unsigned short _menu_1Palette1555[] = \n{\n0x8000,0xffff,0x8000,0xfe01,"),
            std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), ','), 3 * 256 + 256);
}

TEST(ColourTableTest, FormatFollowsTheExtension) {
  const struct {
    std::string_view name;
    bool known;
    TableFormat format;
  } cases[] = {{"a.gpl", true, TableFormat::kGpl}, {"b.PAL", true, TableFormat::kJasc},
               {"c.d.png", true, TableFormat::kPng}, {"e.c", true, TableFormat::kC},
               {"f.txt", false, TableFormat::kGpl}, {"gpl", false, TableFormat::kGpl}};
  for (const auto& c : cases) {
    TableFormat format = TableFormat::kGpl;
    EXPECT_EQ(TableFormatOfName(c.name, format), c.known) << c.name;
    if (c.known) {
      EXPECT_EQ(format, c.format) << c.name;
    }
  }
}

TEST(ColourTableTest, TablesReadWithCommentsNamesAndCrLf) {
  ColourTable table;
  ASSERT_TRUE(ParseColourTable(Bytes("GIMP Palette\r\nName: x\r\nColumns: 4\r\n# c\r\n\r\n"
                                     "  1   2   3\tdark\r\n255 0 9\r\n"),
                               table)
                  .ok());
  EXPECT_EQ(table, (ColourTable{{{1, 2, 3}, {255, 0, 9}}}));
  ASSERT_TRUE(ParseColourTable(Bytes("JASC-PAL\n0100\n2\n1 2 3\n4 5 6\n\n"), table).ok());
  EXPECT_EQ(table, (ColourTable{{{1, 2, 3}, {4, 5, 6}}}));
}

TEST(ColourTableTest, BadTablesAreRefusedWithTheirFault) {
  std::string tooMany = "GIMP Palette\n";
  for (int k = 0; k < 257; ++k) tooMany += "1 2 3\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"GIMP Palette\nName: x\n# c\n1 2 3\n\n\n1 2\n", "line 7: three numbers 0..255 expected"},
      {"GIMP Palette\n256 0 0\n", "line 2: three numbers 0..255 expected"},
      {"GIMP Palette\n1 2 3x\n", "line 2: three numbers 0..255 expected"},
      {"GIMP Palette\n-1 2 3\n", "line 2: three numbers 0..255 expected"},
      {"GIMP Palette\n# none\n", "the table has no colours"},
      {tooMany, "the table has 257 colours, more than 256"},
      {"JASC-PAL\n0200\n1\n1 2 3\n", "line 2: version 0100 expected"},
      {"JASC-PAL\n0100\n0\n", "line 3: a colour count of 1 to 256 expected"},
      {"JASC-PAL\n0100\n257\n", "line 3: a colour count of 1 to 256 expected"},
      {"JASC-PAL\n0100\n2\n1 2 3\n", "2 colours announced, 1 found"},
      {"JASC-PAL\n0100\n1\n1 2 3 red\n", "line 4: three numbers 0..255 expected"},
      {"JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n", "line 5: nothing expected after the last colour"},
      {"hello", "not a GIMP or JASC palette nor a picture with a palette: it starts with 68 65 "
                "6C 6C 6F (\"hello\")"},
  };
  for (const auto& c : cases) {
    ColourTable table{{{1, 1, 1}}};
    const Status status = ParseColourTable(Bytes(c.text), table);
    EXPECT_EQ(status.message(), c.message) << c.text;
    EXPECT_TRUE(table.entries.empty());
  }
}

TEST(ColourTableTest, TrueColourPictureIsNoTable) {
  ColourTable table;
  EXPECT_EQ(ParseColourTable(test::ReadBytes(test::TestDataPath("bmp24_13x6.bmp")), table)
                .message(),
            "the picture has no palette");
}

}  // namespace
}  // namespace krelt
