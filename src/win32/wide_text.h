#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/utf8_path.h"

namespace krelt::win32 {

// The model's UTF-8 text as the W functions take it, and back. Paths and
// texts convert alike, through the path conversion.
inline std::wstring Wide(std::string_view text) { return PathFromUtf8(text).native(); }
inline std::string Utf8(std::wstring_view text) { return PathToUtf8(std::filesystem::path(text)); }

// The whole text of a window.
inline std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline void SetText(HWND window, std::string_view text) {
  SetWindowTextW(window, Wide(text).c_str());
}

}  // namespace krelt::win32
