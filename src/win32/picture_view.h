#pragma once

#include <windows.h>

#include <memory>

#include "front/preview_model.h"

namespace krelt::win32 {

// A child window that draws a screen image where PictureRect places it,
// nearest neighbour, over a checkerboard when it has alpha. Zoom 0 fits
// the picture into the window; a larger zoom shows it at that factor,
// centred when it is smaller than the window, with scroll bars when not.
class PictureView {
 public:
  PictureView(HWND parent, int id);
  ~PictureView();
  PictureView(const PictureView&) = delete;
  PictureView& operator=(const PictureView&) = delete;

  HWND window() const { return window_; }
  void SetImage(std::shared_ptr<const ScreenImage> image);
  void SetZoom(int zoom);

 private:
  static void RegisterClassOnce(HINSTANCE instance);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  Extent ImageExtent() const;
  Extent ClientExtent() const;
  // The picture's rectangle in client coordinates.
  RECT Target() const;
  void UpdateScrollBars();
  void Scroll(int bar, WORD request);
  void Paint(HDC target, const RECT& client) const;

  HWND window_ = nullptr;
  std::shared_ptr<const ScreenImage> image_;
  HBITMAP bitmap_ = nullptr;  // image_'s pixels as a DIB section
  int zoom_ = 0;
  POINT scroll_{};
};

}  // namespace krelt::win32
