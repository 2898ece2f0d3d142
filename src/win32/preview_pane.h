#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "front/preview_model.h"
#include "win32/picture_view.h"
#include "win32/window_metrics.h"

namespace krelt::win32 {

// The preview pane as PreviewModel gives it: a title, the picture, the
// frame and zoom boxes and the figures. Its controls are children of the
// dialog window, so that Tab reaches them as any other.
class PreviewPane {
 public:
  // frameChosen runs when the user changes the frame box.
  PreviewPane(HWND parent, std::function<void(int frame)> frameChosen);

  void Show(const PreviewScreen& screen);
  void Layout(const RECT& area, const WindowMetrics& metrics);
  // The smallest size the pane lays out in.
  SIZE MinimumSize(const WindowMetrics& metrics) const;
  // A WM_COMMAND from one of the pane's controls; false for the others.
  bool HandleCommand(int id, int code);

 private:
  int ControlRowHeight(const WindowMetrics& metrics) const;

  std::function<void(int)> frameChosen_;
  HWND title_;
  PictureView picture_;
  HWND frameLabel_;
  HWND frameEdit_;
  HWND frameSpin_;
  HWND zoomLabel_;
  HWND zoomCombo_;
  HWND figures_;
  std::shared_ptr<const ScreenImage> shownImage_;
  bool showing_ = false;  // the frame box is being set, not changed by the user
};

}  // namespace krelt::win32
