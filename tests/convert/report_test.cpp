#include "convert/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/conversion.h"

namespace krelt {
namespace {

constexpr ReportIcon kRecord = ReportIcon::kRecord;
constexpr ReportIcon kField = ReportIcon::kField;
constexpr ReportIcon kNone = ReportIcon::kNone;

ConversionState StateOf(const std::string& name, std::int32_t frames,
                        std::int32_t startFrame, std::int32_t endFrame) {
  ConversionState state;
  state.identifierName = name;
  for (std::int32_t i = 0; i < frames; ++i) {
    state.frameSize.push_back(100 + i);
    state.frameWidth.push_back(10 + i);
    state.frameHeight.push_back(20 + i);
  }
  state.startFrame = startFrame;
  state.endFrame = endFrame;
  return state;
}

TEST(ReportTest, SinglePictureGivesNineRows) {
  ConversionState state = StateOf("logo", 1, 0, 512);
  state.frameSize[0] = 800;
  state.frameWidth[0] = 40;
  state.frameHeight[0] = 20;
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
  EXPECT_EQ(BuildReport(state, kDataFormatOsd256, false), expected);
}

TEST(ReportTest, DataFormatCellFollowsTheCode) {
  const ConversionState state = StateOf("logo", 1, 0, 0);
  const std::vector<std::pair<int, std::string>> cases = {
      {1, "OSD_256"}, {2, "OSD_1555"}, {0, ""}, {3, ""}, {-1, ""}};
  for (const auto& [code, text] : cases) {
    const std::vector<ReportRow> rows = BuildReport(state, code, false);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[3], (ReportRow{"data format", text, kField, 0})) << code;
  }
}

TEST(ReportTest, IconsMarkRecordsAndFieldsOnly) {
  const std::vector<ReportRow> rows =
      BuildReport(StateOf("anim", 3, 0, 2), kDataFormatOsd256, true);
  ASSERT_EQ(rows.size(), 35u);
  for (const ReportRow& row : rows) {
    const ReportIcon expected = row.type == "TYPE_GrData" ? kRecord
                                : row.type.empty()        ? kNone
                                                          : kField;
    EXPECT_EQ(row.icon, expected) << row.type << " " << row.content;
  }
}

TEST(ReportTest, FramesBeyondTheTablesAreLeftOut) {
  // The default range 0 to 512 over tables of three frames.
  EXPECT_EQ(BuildReport(StateOf("a", 3, 0, 512), 1, true).size(), 35u);
  EXPECT_EQ(BuildReport(StateOf("a", 3, -5, 0), 1, true).size(), 13u);
  EXPECT_TRUE(BuildReport(ConversionState{}, 1, false).empty());
}

}  // namespace
}  // namespace krelt
