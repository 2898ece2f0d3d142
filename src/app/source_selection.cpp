#include "app/source_selection.h"

#include <algorithm>
#include <array>

namespace krelt {
namespace {

constexpr std::array<std::string_view, 3> kAcceptedExtensions = {"PCX", "XSP",
                                                                 "BMP"};

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
  return std::equal(text.begin(), text.end(), upper.begin(), upper.end(),
                    [](char a, char b) { return UpperAscii(a) == b; });
}

}  // namespace

bool HasAcceptedExtension(std::string_view path) {
  const std::size_t lastSeparator = path.find_last_of("/\\");
  const std::string_view fileName = lastSeparator == std::string_view::npos
                                        ? path
                                        : path.substr(lastSeparator + 1);
  const std::size_t dot = fileName.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = fileName.substr(dot + 1, 3);
  return std::any_of(kAcceptedExtensions.begin(), kAcceptedExtensions.end(),
                     [extension](std::string_view accepted) {
                       return EqualsIgnoringCase(extension, accepted);
                     });
}

}  // namespace krelt
