#include "win32/colour_controls.h"

#include <gtest/gtest.h>

namespace krelt::win32 {
namespace {

// Only whole counts a reduction takes leave the N box; text on its way to
// one, or past the range, does not.
TEST(ColourControlsTest, TheCountBoxPassesOnWholeCountsInRange) {
  const struct {
    std::string_view text;
    std::optional<std::int32_t> count;
  } cases[] = {
      {"", std::nullopt},    {"1", std::nullopt},  {"2", 2},
      {"16", 16},            {"256", 256},         {"257", std::nullopt},
      {"016", 16},           {"-4", std::nullopt}, {"12a", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ColourCountFromText(c.text), c.count) << c.text;
}

}  // namespace
}  // namespace krelt::win32
