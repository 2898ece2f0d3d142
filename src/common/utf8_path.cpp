#include "common/utf8_path.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <climits>
#endif

namespace krelt {

#ifdef _WIN32

// The API counts in int. Windows paths end at 32767 UTF-16 units, so text
// cut at INT_MAX still names no file and fails when opened.
template <typename Char>
int ApiLength(std::basic_string_view<Char> text) {
  return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
}

// MultiByteToWideChar replaces a malformed sequence with U+FFFD where the
// standard conversion would throw; a path that names no file then fails
// when it is opened, with a message.
std::filesystem::path PathFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = ApiLength(text);
  const int wideSize =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), wideSize);
  return std::filesystem::path(std::move(wide));
}

// A lone surrogate, which no UTF-8 can hold, becomes U+FFFD.
std::string PathToUtf8(const std::filesystem::path& path) {
  const std::wstring_view wide = path.native();
  if (wide.empty()) return {};
  const int size = ApiLength(wide);
  const int narrowSize = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size,
                                             nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(narrowSize), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, narrow.data(), narrowSize,
                      nullptr, nullptr);
  return narrow;
}

#else

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::string(text));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  return path.native();
}

#endif

}  // namespace krelt
