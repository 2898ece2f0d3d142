#include "common/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace krelt {
namespace {

TEST(EscapeUnprintableTest, KeepsPrintableTextAndEscapesTheRest) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"line 3: expected ';'", "line 3: expected ';'"},
      {"Bild \xE6\x97\xA5\xC3\xA4 \xF0\x9F\x98\x80.GD", "Bild \xE6\x97\xA5\xC3\xA4 \xF0\x9F\x98\x80.GD"},
      {"a\nb\tc\r", "a\\x0Ab\\x09c\\x0D"},
      {"\x1B[31mred", "\\x1B[31mred"},
      {"\x7F", "\\x7F"},
      {"\xEF\xBB\xBF#include", "\\xEF\\xBB\\xBF#include"},  // byte-order mark
      {"\xE2\x80\xAE" "cba", "\\xE2\\x80\\xAEcba"},            // right-to-left override
      {"\xC2\x85", "\\xC2\\x85"},                            // C1 control
      {"\xEF", "\\xEF"},                                     // cut short
      {"\xC3(", "\\xC3("},                                   // bad continuation
      {"\xC0\xAF", "\\xC0\\xAF"},                            // overlong
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                   // surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},          // beyond U+10FFFF
      {std::string("a\0b", 3), "a\\x00b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeUnprintable(c.text), c.shown) << c.shown;
    // Escaped text is printable, so escaping it again changes nothing.
    EXPECT_EQ(EscapeUnprintable(c.shown), c.shown);
  }
}

}  // namespace
}  // namespace krelt
