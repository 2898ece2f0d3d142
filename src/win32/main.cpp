// krelt.exe: the native Windows dialog that turns a picture into a GD
// source file.

#include <windows.h>

// These need windows.h first.
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "win32/dialog_window.h"
#include "win32/wide_text.h"

namespace {

// `krelt PICTURE`, as Explorer's "Open with" runs it.
void SelectNamedPicture(krelt::win32::DialogWindow& dialog) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments != nullptr && count > 1) dialog.SelectPicture(krelt::win32::Utf8(arguments[1]));
  LocalFree(arguments);
}

// Tab and the arrow keys move between the controls as in a dialog; the
// window's own keys come first.
void RunMessageLoop(krelt::win32::DialogWindow& dialog) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (dialog.HandleKey(message)) continue;
    if (IsDialogMessageW(dialog.window(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The shell's file dialog and "open" action want a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  {
    krelt::win32::DialogWindow dialog(instance);
    SelectNamedPicture(dialog);
    RunMessageLoop(dialog);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
