#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "front/dialog_model.h"
#include "win32/window_metrics.h"

namespace krelt::win32 {

// The colour count the N box's text gives: digits only, within the counts
// a reduction takes; nothing for text on its way to one ("", "1").
std::optional<std::int32_t> ColourCountFromText(std::string_view text);

// The colours control of the selection group: the mode list, the table
// button (named after the table while mapping onto one), the N box with its
// arrows and the Dither box. What the user does goes to the model; what
// the model chose comes back through Show. Its controls are children of
// the dialog window, so that Tab reaches them as any other.
class ColourControls {
 public:
  ColourControls(HWND parent, DialogModel& model);

  void Show(const ColourChoice& choice);
  // Off during a run: no control then changes the request.
  void Enable(bool enabled);
  // The labels' row at labelsTop, the controls' at fieldsTop, from left to
  // right; the table button takes the width that is left.
  void Layout(int left, int right, int labelsTop, int fieldsTop, const WindowMetrics& metrics);
  // A WM_COMMAND from one of its controls; false for the others.
  bool HandleCommand(int id, int code);
  HWND modeCombo() const { return modeCombo_; }

 private:
  DialogModel& model_;
  HWND label_;
  HWND modeCombo_;
  HWND tableButton_;
  HWND countLabel_;
  HWND countEdit_;
  HWND countSpin_;
  HWND ditheringBox_;
  bool enabled_ = true;
  bool showing_ = false;  // the controls are being set, not changed by the user
};

}  // namespace krelt::win32
