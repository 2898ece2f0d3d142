#include "gd/report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace krelt {
namespace {

constexpr ReportIcon kRecord = ReportIcon::kRecord;
constexpr ReportIcon kField = ReportIcon::kField;
constexpr ReportIcon kNone = ReportIcon::kNone;

// A document of `frames` records named after `name`; with per-frame
// records, frame numbers from `firstFrame` on.
GdDocument DocumentOf(const std::string& name, std::int32_t frames, bool perFrameRecords,
                      DataFormat format, std::int32_t firstFrame = 0) {
  GdDocument document{name, perFrameRecords, {}};
  for (std::int32_t i = 0; i < frames; ++i) {
    const std::string pictureName = PictureName(name, perFrameRecords, firstFrame + i);
    document.pictures.push_back({NewRecord(pictureName, format, 100 + i, 10 + i, 20 + i), {}});
  }
  return document;
}

TEST(ReportTest, SinglePictureGivesNineRows) {
  GdDocument document = DocumentOf("logo", 1, false, DataFormat::kOsd256);
  document.pictures[0].record = NewRecord("logo", DataFormat::kOsd256, 800, 40, 20);
  const std::vector<ReportRow> expected = {
      {"TYPE_GrData", "logoGd", kRecord, 0},
      {"version", "1", kField, 0},
      {"reserved", "0", kField, 0},
      {"data format", "OSD_256", kField, 0},
      {"compressed method", "COMPRESS_Tfp", kField, 0},
      {"data", "logoCpm", kField, 0},
      {"size", "800", kField, 0},
      {"width", "40", kField, 0},
      {"height", "20", kField, 0},
  };
  EXPECT_EQ(BuildReport(document), expected);
}

TEST(ReportTest, DataFormatCellFollowsTheFormat) {
  const std::vector<std::pair<DataFormat, std::string>> cases = {
      {DataFormat::kOsd256, "OSD_256"}, {DataFormat::kOsd1555, "OSD_1555"}, {DataFormat::kNone, ""}};
  for (const auto& [format, text] : cases) {
    const std::vector<ReportRow> rows = BuildReport(DocumentOf("logo", 1, false, format));
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[3], (ReportRow{"data format", text, kField, 0})) << text;
  }
}

TEST(ReportTest, FramesGiveTenRowsEachThenThePointerTable) {
  const std::vector<ReportRow> rows =
      BuildReport(DocumentOf("anim", 3, true, DataFormat::kOsd256, 2));
  ASSERT_EQ(rows.size(), 35u);
  for (std::size_t row = 0; row < 30; ++row) {
    const ReportIcon expected = row % 10 == 0 ? kRecord : row % 10 == 9 ? kNone : kField;
    EXPECT_EQ(rows[row].icon, expected) << row;
    EXPECT_EQ(rows[row].record, row % 10 == 9 ? -1 : static_cast<std::int32_t>(row / 10)) << row;
  }
  EXPECT_EQ(rows[10], (ReportRow{"TYPE_GrData", "anim3Gd", kRecord, 1}));
  EXPECT_EQ(rows[16], (ReportRow{"size", "101", kField, 1}));
  const std::vector<ReportRow> table = {
      {"TYPE_GrData", "animGd", kRecord, -1}, {"", "anim2Gd", kNone, 0},
      {"", "anim3Gd", kNone, 1},              {"", "anim4Gd", kNone, 2},
      {},
  };
  EXPECT_EQ(std::vector<ReportRow>(rows.begin() + 30, rows.end()), table);
}

}  // namespace
}  // namespace krelt
