#include "win32/file_filters.h"

#include <algorithm>

#include "win32/wide_text.h"

namespace krelt::win32 {

std::wstring FilterPairs(std::span<const std::string_view> filters) {
  std::wstring pairs;
  for (const std::string_view filter : filters) {
    const std::size_t open = filter.rfind('(');
    const std::size_t close = filter.rfind(')');
    const bool enclosed =
        open != std::string_view::npos && close != std::string_view::npos && close > open;
    const std::string_view pattern =
        enclosed ? filter.substr(open + 1, close - open - 1) : std::string_view("*");
    std::wstring patterns = Wide(pattern);
    std::replace(patterns.begin(), patterns.end(), L' ', L';');
    pairs += Wide(filter) + L'\0' + patterns + L'\0';
  }
  return pairs + L'\0';
}

}  // namespace krelt::win32
