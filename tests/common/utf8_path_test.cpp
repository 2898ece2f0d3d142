#include "common/utf8_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace krelt {
namespace {

TEST(Utf8PathTest, NamesInEveryPlaneRoundTrip) {
  for (const char* name : {
           "plain.pcx",
           "dir/sub/x.pcx",
           "Grafik-\xC3\xBC.bmp",        // ü: two bytes
           "\xE2\x82\xAC 5.pcx",         // €: three bytes
           "\xF0\x9F\x98\x80.xsp",       // an emoji: four bytes, two UTF-16 units
           "\xE6\x97\xA5\xE6\x9C\xAC/\xE5\x9B\xB3.pcx",
       }) {
    EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name) << name;
  }
  EXPECT_EQ(PathToUtf8(PathFromUtf8("dir/\xC3\xBC.pcx").filename()), "\xC3\xBC.pcx");
  EXPECT_TRUE(PathFromUtf8("").empty());
  EXPECT_EQ(PathToUtf8({}), "");
}

#ifdef _WIN32

TEST(Utf8PathTest, WindowsPathsHoldTheUtf16Letters) {
  EXPECT_EQ(PathFromUtf8("\xC3\xBC\xF0\x9F\x98\x80").native(), L"\u00FC\U0001F600");
  EXPECT_EQ(PathToUtf8(std::filesystem::path(L"C:\\\u20AC\\a.pcx")),
            "C:\\\xE2\x82\xAC\\a.pcx");
  // Malformed input never throws: each bad byte stands for U+FFFD.
  EXPECT_EQ(PathFromUtf8("a\xFF"
                         "b")
                .native(),
            L"a\uFFFDb");
}

#else

TEST(Utf8PathTest, OtherSystemsKeepTheBytesAsTheyAre) {
  const std::string latin1 = "caf\xE9.pcx";  // not UTF-8
  EXPECT_EQ(PathFromUtf8(latin1).native(), latin1);
  EXPECT_EQ(PathToUtf8(PathFromUtf8(latin1)), latin1);
}

#endif

}  // namespace
}  // namespace krelt
