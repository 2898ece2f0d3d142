#include "convert/frame_range.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace krelt {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(FrameRangeTest, FrameTextsAreReadAsAtoiReadsThem) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"", 0},          {"7", 7},          {"0012", 12},
      {"  12", 12},     {"\t\n+3", 3},     {"-4", -4},
      {"5abc", 5},      {"abc", 0},        {"- 3", 0},
      {"+", 0},         {"3 4", 3},        {"2147483647", kMax},
      {"2147483648", kMax},                {"99999999999999999999999", kMax},
      {"-2147483648", kMin},               {"-99999999999", kMin},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseFrameNumber(text), value) << '"' << text << '"';
  }
}

struct RangeCase {
  std::string startText;
  std::string endText;
  bool accepted;
  std::int32_t startFrame;
  std::int32_t endFrame;
};

TEST(FrameRangeTest, RangeOfAFiveFrameFile) {
  const std::vector<RangeCase> cases = {
      {"", "", true, 0, 4},        {"2", "3", true, 2, 3},
      {"2", "99", true, 2, 4},     {"4", "", true, 4, 4},
      {"abc", "", true, 0, 4},     {"1", "1", true, 1, 1},
      {"", "99999999999", true, 0, 4},
      {"-1", "", false, 0, 0},     {"5", "", false, 0, 0},
      {"3", "1", false, 0, 0},     {"", "-1", false, 0, 0},
      {"99999999999", "", false, 0, 0},
      {"-99999999999", "", false, 0, 0},
  };
  for (const RangeCase& c : cases) {
    std::int32_t start = -7;
    std::int32_t end = -7;
    const Status status = ResolveFrameRange(c.startText, c.endText, 5, start, end);
    EXPECT_EQ(status.ok(), c.accepted) << c.startText << " " << c.endText;
    if (c.accepted) {
      EXPECT_EQ(start, c.startFrame) << c.startText;
      EXPECT_EQ(end, c.endFrame) << c.endText;
    } else {
      EXPECT_FALSE(status.message().empty());
      EXPECT_EQ(start, -7);  // untouched on refusal
    }
  }
}

TEST(FrameRangeTest, RefusalsSayWhatIsWrong) {
  std::int32_t start = 0;
  std::int32_t end = 0;
  EXPECT_NE(ResolveFrameRange("-2", "", 5, start, end).message().find("negative"),
            std::string::npos);
  const Status empty = ResolveFrameRange("3", "1", 5, start, end);
  EXPECT_NE(empty.message().find("3 to 1 is empty"), std::string::npos)
      << empty.message();
}

TEST(FrameRangeTest, NoLimitOf1024Frames) {
  std::int32_t start = 0;
  std::int32_t end = 0;
  ASSERT_TRUE(ResolveFrameRange("1500", "9999", 3000, start, end).ok());
  EXPECT_EQ(start, 1500);
  EXPECT_EQ(end, 2999);
  // An empty end field still means frame 512.
  EXPECT_FALSE(ResolveFrameRange("1500", "", 3000, start, end).ok());
  ASSERT_TRUE(ResolveFrameRange("", "", 3000, start, end).ok());
  EXPECT_EQ(end, 512);
}

}  // namespace
}  // namespace krelt
