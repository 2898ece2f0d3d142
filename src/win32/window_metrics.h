#pragma once

#include <windows.h>

namespace krelt::win32 {

// The window's font at its monitor's DPI and the sizes derived from it:
// dialog units (a quarter of the font's average character width, an eighth
// of its height), as dialog templates measure, and pixels at 96 DPI scaled.
class WindowMetrics {
 public:
  explicit WindowMetrics(UINT dpi);
  ~WindowMetrics();
  WindowMetrics(const WindowMetrics&) = delete;
  WindowMetrics& operator=(const WindowMetrics&) = delete;

  UINT dpi() const { return dpi_; }
  HFONT font() const { return font_; }
  int X(int dialogUnits) const { return MulDiv(dialogUnits, baseX_, 4); }
  int Y(int dialogUnits) const { return MulDiv(dialogUnits, baseY_, 8); }
  int Pixels(int pixelsAt96) const { return MulDiv(pixelsAt96, static_cast<int>(dpi_), 96); }
  int LineHeight() const { return baseY_; }

 private:
  UINT dpi_;
  HFONT font_ = nullptr;
  int baseX_ = 0;
  int baseY_ = 0;
};

// Places a window at the rectangle in its parent's client coordinates.
inline void Place(HWND window, int x, int y, int width, int height) {
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace krelt::win32
