#include "gd/gd_record.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace krelt {
namespace {

TEST(GdRecordTest, DataFormatsByNameAndBack) {
  struct Case {
    DataFormat format;
    std::string name;
    std::string label;
    std::int32_t bytesPerPixel;
  };
  const Case cases[] = {
      {DataFormat::kNone, "", "24-bit RGB", 3},
      {DataFormat::kOsd256, "OSD_256", "OSD_256", 1},
      {DataFormat::kOsd1555, "OSD_1555", "OSD_1555", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DataFormatName(c.format), c.name);
    EXPECT_EQ(DataFormatLabel(c.format), c.label);
    EXPECT_EQ(BytesPerPixel(c.format), c.bytesPerPixel);
    if (!c.name.empty()) {
      EXPECT_EQ(DataFormatNamed(c.name), c.format);
    }
  }
  // Only the two names are data formats; the reader takes anything else
  // for the compression method.
  for (const char* word : {"", "COMPRESS_Tfp", "osd_256", "OSD_4444"}) {
    EXPECT_EQ(DataFormatNamed(word), std::nullopt) << word;
  }
}

TEST(GdRecordTest, NamesAndThePictureNamesInsideThem) {
  EXPECT_EQ(PictureName("logo", false, 3), "logo");
  EXPECT_EQ(PictureName("walk", true, 12), "walk12");
  EXPECT_EQ(ArrayName("walk12"), "_walk12Cpm");
  EXPECT_EQ(RecordName("walk12"), "_walk12Gd");
  EXPECT_EQ(PointerTableName("walk"), "_walkGds");
  EXPECT_EQ(PictureNameOfRecord("_walk12Gd"), "walk12");
  EXPECT_EQ(PictureNameOfRecord("walk12"), "walk12");
  EXPECT_EQ(IdentifierOfPointerTable("_walkGds"), "walk");
  for (const char* other : {"walkGds", "_walkGd", "_Gd"}) {
    EXPECT_EQ(IdentifierOfPointerTable(other), "") << other;
  }
}

TEST(GdRecordTest, NewRecordsHoldTheFixedFieldsAndTheirNames) {
  const GdRecord record = NewRecord("logo", DataFormat::kOsd256, 800, 40, 20);
  const auto fields = RecordFields(record);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"version", "1"},      {"reserved", "0"}, {"data format", "OSD_256"},
      {"compressed method", "COMPRESS_Tfp"},    {"data", "_logoCpm"},
      {"size", "800"},       {"width", "40"},   {"height", "20"}};
  ASSERT_EQ(fields.size(), expected.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].label, expected[i].first);
    EXPECT_EQ(fields[i].value, expected[i].second);
  }
  EXPECT_EQ(record.name, "_logoGd");
}

}  // namespace
}  // namespace krelt
