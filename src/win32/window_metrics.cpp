#include "win32/window_metrics.h"

namespace krelt::win32 {

// The desktop's message font, as dialogs use it.
WindowMetrics::WindowMetrics(UINT dpi) : dpi_(dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);

  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW text{};
  GetTextMetricsW(dc, &text);
  constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent{};
  GetTextExtentPoint32W(dc, kLetters, 52, &extent);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  baseX_ = (extent.cx / 26 + 1) / 2;
  baseY_ = text.tmHeight;
}

WindowMetrics::~WindowMetrics() { DeleteObject(font_); }

}  // namespace krelt::win32
