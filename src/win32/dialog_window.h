#pragma once

#include <windows.h>

// These need windows.h first.
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "front/dialog_model.h"
#include "win32/colour_controls.h"
#include "win32/preview_pane.h"
#include "win32/window_metrics.h"

namespace krelt::win32 {

// Calls that other threads post for the GUI thread: queued here, run when
// the window receives the message that each post sends it.
class GuiQueue {
 public:
  static constexpr UINT kMessage = WM_APP + 1;

  void SetTarget(HWND target);
  // Called from any thread.
  void Post(std::function<void()> call);
  // Runs the calls waiting now, in order; on the GUI thread.
  void RunWaiting();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  HWND target_ = nullptr;
};

// The one window of krelt.exe, a Win32 view of DialogModel: it creates and
// lays out the controls, hands what the user does to the model and shows
// what the model tells it.
class DialogWindow final : private DialogView {
 public:
  explicit DialogWindow(HINSTANCE instance);
  ~DialogWindow();
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  HWND window() const { return window_; }
  // Takes the picture as a drop of one file would.
  void SelectPicture(const std::string& path) { model_->SelectPicture(path); }
  // The keys the window gives a meaning of its own, whichever control has
  // the focus: Enter does nothing, Escape closes, F1 shows the help. True
  // when the message was one of them and is handled.
  bool HandleKey(const MSG& message);

 private:
  // DialogView.
  std::string ReadProfilePath() override;
  std::optional<std::string> ChooseFile(std::string_view initialName,
                                        std::span<const std::string_view> filters) override;
  void OpenFile(const std::string& path) override;
  void ShowMessage(const Message& message) override;
  void ShowSelection(const std::string& path, bool use1555) override;
  void ShowOutputName(const std::string& outputName) override;
  void EnableOpen(bool enabled) override;
  void ShowRunControls(const RunControls& controls) override;
  void ShowColourChoice(const ColourChoice& choice) override;
  void ShowProgress(const RunProgress& progress) override;
  void ShowReport(const std::vector<ShownRow>& rows) override;
  void CloseWindow() override;
  void ShowPreview(const PreviewScreen& screen) override;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void HandleCommand(int id, int code);
  void HandleFrameText(HWND edit, std::wstring& accepted, void (DialogModel::*set)(std::string));
  void HandleReportChange(const NMLISTVIEW& change);
  void HandleDrop(HDROP drop);
  void CreateControls();
  void CreateReportList();
  void AddTip(HWND control, std::string_view text);
  void ApplyMetrics();
  void Layout();
  SIZE MinimumClientSize() const;
  int ReportMinimumWidth() const;
  bool IsDroppedDown(HWND focus) const;
  void KeepFocus(bool activated);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  std::unique_ptr<WindowMetrics> metrics_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  GuiQueue queue_;  // before the model: calls still waiting are dropped after it goes

  HWND groupBox_ = nullptr;
  HWND findButton_ = nullptr;
  HWND pathEdit_ = nullptr;
  HWND conversionButton_ = nullptr;
  HWND alphaCombo_ = nullptr;
  HWND startFrameEdit_ = nullptr;
  HWND endFrameEdit_ = nullptr;
  HWND openButton_ = nullptr;
  HWND reportList_ = nullptr;
  HWND use1555Box_ = nullptr;
  HWND smallestBox_ = nullptr;
  HWND outputNameEdit_ = nullptr;
  HWND progressBar_ = nullptr;
  HWND alphaLabel_ = nullptr;
  HWND startFrameLabel_ = nullptr;
  HWND endFrameLabel_ = nullptr;
  HWND tooltip_ = nullptr;
  std::wstring startFrameText_;
  std::wstring endFrameText_;
  HWND lastFocus_ = nullptr;
  bool fillingReport_ = false;
  bool ready_ = false;  // every control exists: messages go to the handlers

  std::unique_ptr<ColourControls> colours_;
  std::unique_ptr<PreviewPane> preview_;
  std::unique_ptr<DialogModel> model_;  // last: it stops its threads first
};

}  // namespace krelt::win32
