#include "win32/file_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "front/dialog_texts.h"

namespace krelt::win32 {
namespace {

using namespace std::string_literals;

TEST(FileFiltersTest, EachFilterListsThePatternsInItsParentheses) {
  struct Case {
    std::string_view filter;
    std::wstring pair;
  };
  const Case cases[] = {
      {"PCX File   (*.PCX)", L"PCX File   (*.PCX)\0*.PCX\0"s},
      {"All Files   (*)", L"All Files   (*)\0*\0"s},
      {"Pictures (*.BMP;*.PCX)", L"Pictures (*.BMP;*.PCX)\0*.BMP;*.PCX\0"s},
      {"Tables (*.gpl *.pal)", L"Tables (*.gpl *.pal)\0*.gpl;*.pal\0"s},
      {"No patterns", L"No patterns\0*\0"s},
      {"Unclosed (*.PCX", L"Unclosed (*.PCX\0*\0"s},
      {"Bilder \u00e4 (*.\u00c4)", L"Bilder \u00e4 (*.\u00c4)\0*.\u00c4\0"s},
  };
  for (const Case& tested : cases) {
    const std::string_view one[] = {tested.filter};
    EXPECT_EQ(FilterPairs(one), tested.pair + L'\0') << tested.filter;
  }
}

TEST(FileFiltersTest, TheDialogsFiltersKeepTheirOrder) {
  const std::wstring pairs = FilterPairs(kFileFilters);
  const std::wstring first = L"PCX File   (*.PCX)\0*.PCX\0"s;
  const std::wstring last = L"All Files   (*)\0*\0\0"s;
  ASSERT_GT(pairs.size(), first.size() + last.size());
  EXPECT_EQ(pairs.substr(0, first.size()), first);
  EXPECT_EQ(pairs.substr(pairs.size() - last.size()), last);
}

}  // namespace
}  // namespace krelt::win32
