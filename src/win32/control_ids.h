#pragma once

namespace krelt::win32 {

// The dialog window's controls, in tab order.
enum ControlId : int {
  kFindButton = 1000,
  kPathEdit,
  kConversionButton,
  kAlphaCombo,
  kStartFrameEdit,
  kEndFrameEdit,
  kOpenButton,
  kReportList,
  k1555Box,
  kSmallestBox,
  kColourModeCombo,
  kColourTableButton,
  kColourCountEdit,
  kColourCountSpin,
  kDitheringBox,
  kPreviewFrameEdit,
  kPreviewFrameSpin,
  kPreviewZoomCombo,
  kOutputNameEdit,
  kProgressBar,
  kStaticText,
  kPreviewPicture,
};

// Creates a child control of the dialog window, in the dialog's font.
HWND CreateControl(HWND parent, const wchar_t* windowClass, int id, DWORD style,
                   const wchar_t* text = L"", DWORD extendedStyle = 0);
// An edit field for a whole number, and arrows (an up-down control) that
// step the number in the edit field given.
HWND CreateNumberEdit(HWND parent, int id);
HWND CreateArrows(HWND parent, int id, HWND edit);

}  // namespace krelt::win32
