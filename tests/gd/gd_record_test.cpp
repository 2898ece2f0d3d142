#include "gd/gd_record.h"

#include <gtest/gtest.h>

namespace krelt {
namespace {

TEST(GdRecordTest, OnlyTheDataFormatNamesReadBackAsDataFormats) {
  for (DataFormat format : {DataFormat::kOsd256, DataFormat::kOsd1555}) {
    EXPECT_EQ(DataFormatNamed(DataFormatName(format)), format);
  }
  // The reader takes any other word for the compression method.
  for (const char* word : {"", "COMPRESS_Tfp", "osd_256", "OSD_4444"}) {
    EXPECT_EQ(DataFormatNamed(word), std::nullopt) << word;
  }
}

TEST(GdRecordTest, NamesAndThePictureNamesInsideThem) {
  EXPECT_EQ(PictureName("logo", false, 3), "logo");
  EXPECT_EQ(PictureName("walk", true, 12), "walk12");
  EXPECT_EQ(RecordName("walk12"), "_walk12Gd");
  EXPECT_EQ(PointerTableName("walk"), "_walkGds");
  EXPECT_EQ(PictureNameOfRecord("_walk12Gd"), "walk12");
  EXPECT_EQ(PictureNameOfRecord("walk12"), "walk12");
  EXPECT_EQ(IdentifierOfPointerTable("_walkGds"), "walk");
  for (const char* other : {"walkGds", "_walkGd", "_Gd"}) {
    EXPECT_EQ(IdentifierOfPointerTable(other), "") << other;
  }
}

}  // namespace
}  // namespace krelt
