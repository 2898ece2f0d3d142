#include "win32/dialog_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "front/dialog_texts.h"
#include "win32/control_ids.h"
#include "win32/file_filters.h"
#include "win32/resources.h"
#include "win32/wide_text.h"
#include "win32/window_object.h"

namespace krelt::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"KreltDialog";
constexpr int kVisibleReportRows = 12;
constexpr DWORD kButtonStyle = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kEditStyle = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kFrameEditStyle = kEditStyle | ES_NUMBER | ES_RIGHT;

HICON LoadIconSized(HINSTANCE instance, int id, int side) {
  return static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
}

// Where Qt keeps an INI profile on Windows: %APPDATA%\Krelt\krelt.ini.
std::filesystem::path ProfileFile() {
  PWSTR folder = nullptr;
  std::filesystem::path file;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder))) {
    file = std::filesystem::path(folder) / L"Krelt" / L"krelt.ini";
  }
  CoTaskMemFree(folder);
  return file;
}

}  // namespace

HWND CreateControl(HWND parent, const wchar_t* windowClass, int id, DWORD style,
                   const wchar_t* text, DWORD extendedStyle) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  return CreateWindowExW(extendedStyle, windowClass, text,
                         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

HWND CreateNumberEdit(HWND parent, int id) {
  return CreateControl(parent, WC_EDITW, id, WS_TABSTOP | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL,
                       L"", WS_EX_CLIENTEDGE);
}

HWND CreateArrows(HWND parent, int id, HWND edit) {
  const HWND arrows = CreateControl(parent, UPDOWN_CLASSW, id,
                                    UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS |
                                        UDS_NOTHOUSANDS);
  SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  return arrows;
}

void GuiQueue::SetTarget(HWND target) {
  const std::lock_guard lock(mutex_);
  target_ = target;
}

void GuiQueue::Post(std::function<void()> call) {
  const std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
  if (target_ != nullptr) PostMessageW(target_, kMessage, 0, 0);
}

// One call at a time, outside the lock: a call may post again, or run a
// message box whose loop runs the calls behind it.
void GuiQueue::RunWaiting() {
  for (;;) {
    std::function<void()> call;
    {
      const std::lock_guard lock(mutex_);
      if (calls_.empty()) return;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
  }
}

DialogWindow::DialogWindow(HINSTANCE instance) : instance_(instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIcon));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  // A caption with the system menu and close box but no minimise or
  // maximise box, and a sizing border so that the preview can grow.
  CreateWindowExW(WS_EX_APPWINDOW | WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass,
                  Wide(kDialogTitle).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                  instance, this);
  queue_.SetTarget(window_);
  model_ = std::make_unique<DialogModel>(
      static_cast<DialogView&>(*this),
      [this](std::function<void()> call) { queue_.Post(std::move(call)); });
  metrics_ = std::make_unique<WindowMetrics>(GetDpiForWindow(window_));
  CreateControls();
  ApplyMetrics();
  lastFocus_ = findButton_;
  ready_ = true;

  const SIZE client = MinimumClientSize();
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, GetWindowLongW(window_, GWL_STYLE), FALSE,
                           GetWindowLongW(window_, GWL_EXSTYLE), metrics_->dpi());
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
  ShowWindow(window_, SW_SHOWNORMAL);
}

// The model goes first: it cancels a running conversion and waits for its
// threads. What they posted meanwhile is dropped with the queue.
DialogWindow::~DialogWindow() {
  ready_ = false;
  model_.reset();
  queue_.SetTarget(nullptr);
  if (IsWindow(window_)) DestroyWindow(window_);
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

// Created in tab order, the Qt dialog's.
void DialogWindow::CreateControls() {
  groupBox_ = CreateControl(window_, WC_BUTTONW, kStaticText, BS_GROUPBOX);
  findButton_ =
      CreateControl(window_, WC_BUTTONW, kFindButton, kButtonStyle, Wide(kFindText).c_str());
  pathEdit_ = CreateControl(window_, WC_EDITW, kPathEdit, kEditStyle, L"", WS_EX_CLIENTEDGE);
  conversionButton_ = CreateControl(window_, WC_BUTTONW, kConversionButton, kButtonStyle,
                                    Wide(model_->runControls().conversionText).c_str());
  alphaCombo_ =
      CreateControl(window_, WC_COMBOBOXW, kAlphaCombo, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
  for (int level = 0; level < kAlphaLevels; ++level) {
    SendMessageW(alphaCombo_, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(std::to_wstring(level).c_str()));
  }
  startFrameEdit_ =
      CreateControl(window_, WC_EDITW, kStartFrameEdit, kFrameEditStyle, L"", WS_EX_CLIENTEDGE);
  endFrameEdit_ =
      CreateControl(window_, WC_EDITW, kEndFrameEdit, kFrameEditStyle, L"", WS_EX_CLIENTEDGE);
  openButton_ = CreateControl(window_, WC_BUTTONW, kOpenButton, kButtonStyle | WS_DISABLED,
                              Wide(kOpenText).c_str());
  CreateReportList();
  use1555Box_ = CreateControl(window_, WC_BUTTONW, k1555Box, WS_TABSTOP | BS_AUTOCHECKBOX,
                              Wide(k1555Text).c_str());
  smallestBox_ = CreateControl(window_, WC_BUTTONW, kSmallestBox, WS_TABSTOP | BS_AUTOCHECKBOX,
                               Wide(kSmallestText).c_str());
  colours_ = std::make_unique<ColourControls>(window_, *model_);
  colours_->Show(model_->colourChoice());
  preview_ = std::make_unique<PreviewPane>(
      window_, [this](int frame) { model_->preview().ShowFrame(frame); });
  preview_->Show(model_->preview().screen());

  outputNameEdit_ = CreateControl(window_, WC_EDITW, kOutputNameEdit, ES_AUTOHSCROLL | WS_DISABLED,
                                  L"", WS_EX_CLIENTEDGE);
  progressBar_ = CreateControl(window_, PROGRESS_CLASSW, kProgressBar, PBS_SMOOTH);
  ShowProgress(model_->progress());
  alphaLabel_ = CreateControl(window_, WC_STATICW, kStaticText, SS_LEFT, Wide(kAlphaLabel).c_str());
  startFrameLabel_ =
      CreateControl(window_, WC_STATICW, kStaticText, SS_LEFT, Wide(kStartFrameLabel).c_str());
  endFrameLabel_ =
      CreateControl(window_, WC_STATICW, kStaticText, SS_LEFT, Wide(kEndFrameLabel).c_str());
  // The group box lies under the controls it frames.
  SetWindowPos(groupBox_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                             window_, nullptr, instance_, nullptr);
  AddTip(smallestBox_, kSmallestTip);
  AddTip(colours_->modeCombo(), kColoursTip);
}

// The tooltip control keeps a copy of the text.
void DialogWindow::AddTip(HWND control, std::string_view text) {
  std::wstring tip = Wide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = tip.data();
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DialogWindow::CreateReportList() {
  reportList_ = CreateControl(window_, WC_LISTVIEWW, kReportList,
                              WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, L"",
                              WS_EX_CLIENTEDGE);
  SendMessageW(reportList_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
  for (int column = 0; const ReportColumn& shown : kReportColumns) {
    std::wstring title = Wide(shown.title);
    LVCOLUMNW entry{};
    entry.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    entry.fmt = LVCFMT_LEFT;
    entry.pszText = title.data();
    entry.iSubItem = column;
    SendMessageW(reportList_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column++),
                 reinterpret_cast<LPARAM>(&entry));
  }
}

// The font, icons and column widths for the window's DPI.
void DialogWindow::ApplyMetrics() {
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(metrics_->font()), FALSE);
  }
  const UINT dpi = metrics_->dpi();
  const int small = GetSystemMetricsForDpi(SM_CXSMICON, dpi);
  for (HICON* icon : {&bigIcon_, &smallIcon_}) {
    if (*icon != nullptr) DestroyIcon(*icon);
  }
  bigIcon_ = LoadIconSized(instance_, kAppIcon, GetSystemMetricsForDpi(SM_CXICON, dpi));
  smallIcon_ = LoadIconSized(instance_, kAppIcon, small);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  HIMAGELIST icons = ImageList_Create(small, small, ILC_COLOR32 | ILC_MASK, 2, 0);
  for (const int id : {kRecordIcon, kFieldIcon}) {
    HICON icon = LoadIconSized(instance_, id, small);
    ImageList_AddIcon(icons, icon);
    DestroyIcon(icon);
  }
  auto old = reinterpret_cast<HIMAGELIST>(
      SendMessageW(reportList_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons)));
  if (old != nullptr) ImageList_Destroy(old);
  for (int column = 0; const ReportColumn& shown : kReportColumns) {
    SendMessageW(reportList_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column++),
                 metrics_->Pixels(shown.width));
  }
}

int DialogWindow::ReportMinimumWidth() const {
  int columns = 0;
  for (const ReportColumn& shown : kReportColumns) columns += metrics_->Pixels(shown.width);
  return columns + GetSystemMetricsForDpi(SM_CXVSCROLL, metrics_->dpi()) +
         4 * GetSystemMetricsForDpi(SM_CXEDGE, metrics_->dpi());
}

// The selection group, Conversion and the progress bar above the report
// list and the preview side by side.
namespace {

struct Rows {
  int group;
  int path;
  int output;
  int labels;
  int fields;
  int groupBottom;
  int conversion;
  int progress;
  int results;
};

Rows RowsFor(const WindowMetrics& m) {
  Rows rows{};
  rows.group = m.Y(4);
  rows.path = rows.group + m.Y(10);
  rows.output = rows.path + m.Y(14) + m.Y(4);
  rows.labels = rows.output + m.Y(14) + m.Y(6);
  rows.fields = rows.labels + m.Y(10);
  rows.groupBottom = rows.fields + m.Y(14) + m.Y(6);
  rows.conversion = rows.groupBottom + m.Y(4);
  rows.progress = rows.conversion + m.Y(21) + m.Y(3);
  rows.results = rows.progress + m.Y(10) + m.Y(4);
  return rows;
}

}  // namespace

SIZE DialogWindow::MinimumClientSize() const {
  const WindowMetrics& m = *metrics_;
  const SIZE preview = preview_->MinimumSize(m);
  const int reportHeight =
      (kVisibleReportRows + 2) * std::max(m.LineHeight(), m.Pixels(16)) + m.Pixels(8);
  return {2 * m.X(7) + ReportMinimumWidth() + m.X(7) + preview.cx,
          RowsFor(m).results + std::max<LONG>(reportHeight, preview.cy) + m.Y(7)};
}

void DialogWindow::Layout() {
  const WindowMetrics& m = *metrics_;
  RECT client;
  GetClientRect(window_, &client);
  const Rows rows = RowsFor(m);
  const int left = m.X(7);
  const int right = client.right - m.X(7);
  const int width = right - left;
  Place(groupBox_, left, rows.group, width, rows.groupBottom - rows.group);

  const int inner = left + m.X(7);
  const int buttonWidth = m.X(50);
  const int buttonLeft = right - m.X(7) - buttonWidth;
  const int fieldRight = buttonLeft - m.X(4);
  Place(pathEdit_, inner, rows.path, fieldRight - inner, m.Y(14));
  Place(findButton_, buttonLeft, rows.path, buttonWidth, m.Y(14));
  Place(outputNameEdit_, inner, rows.output, fieldRight - inner, m.Y(14));
  Place(openButton_, buttonLeft, rows.output, buttonWidth, m.Y(14));

  // alpha, start frame, end frame, 1555, Smallest and the colours control
  // in a row, the last ending under the buttons.
  const int column = m.X(60);
  const int gap = m.X(6);
  int x = inner;
  for (const auto& [label, field] :
       {std::pair{alphaLabel_, alphaCombo_}, std::pair{startFrameLabel_, startFrameEdit_},
        std::pair{endFrameLabel_, endFrameEdit_}}) {
    Place(label, x, rows.labels, column, m.Y(8));
    Place(field, x, rows.fields, column, field == alphaCombo_ ? m.Y(120) : m.Y(14));
    x += column + gap;
  }
  const int checkTop = rows.fields + m.Y(2);
  Place(use1555Box_, x, checkTop, m.X(34), m.Y(10));
  x += m.X(34) + gap;
  Place(smallestBox_, x, checkTop, m.X(48), m.Y(10));
  x += m.X(48) + 2 * gap;
  colours_->Layout(x, buttonLeft + buttonWidth, rows.labels, rows.fields, m);

  Place(conversionButton_, left, rows.conversion, width, m.Y(21));
  Place(progressBar_, left, rows.progress, width, m.Y(10));

  // The report list and the preview share the width; the list never gets
  // narrower than its columns.
  const int bottom = client.bottom - m.Y(7);
  const int reportWidth = std::max(ReportMinimumWidth(), (width - m.X(7)) / 2);
  Place(reportList_, left, rows.results, reportWidth, bottom - rows.results);
  const RECT previewArea{left + reportWidth + m.X(7), rows.results, right, bottom};
  preview_->Layout(previewArea, m);
  InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK DialogWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = WindowObject<DialogWindow>(window, message, lParam);
  if (message == WM_NCCREATE) dialog->window_ = window;
  if (dialog == nullptr || !dialog->ready_) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return dialog->Handle(message, wParam, lParam);
}

LRESULT DialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case GuiQueue::kMessage:
      queue_.RunWaiting();
      return 0;
    case WM_COMMAND:
      HandleCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == kReportList && header->code == LVN_ITEMCHANGED) {
        HandleReportChange(*reinterpret_cast<const NMLISTVIEW*>(lParam));
      }
      return 0;
    }
    case WM_DROPFILES:
      HandleDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      const SIZE client = MinimumClientSize();
      RECT frame{0, 0, client.cx, client.cy};
      AdjustWindowRectExForDpi(&frame, GetWindowLongW(window_, GWL_STYLE), FALSE,
                               GetWindowLongW(window_, GWL_EXSTYLE), metrics_->dpi());
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      return 0;
    }
    case WM_DPICHANGED: {
      metrics_ = std::make_unique<WindowMetrics>(HIWORD(wParam));
      ApplyMetrics();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_ACTIVATE:
      KeepFocus(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_CLOSE:
      model_->RequestClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void DialogWindow::HandleCommand(int id, int code) {
  if (preview_->HandleCommand(id, code) || colours_->HandleCommand(id, code)) return;
  if (code == BN_CLICKED) {
    switch (id) {
      case kFindButton:
        model_->Find();
        return;
      case kOpenButton:
        model_->Open();
        return;
      case kConversionButton:
        model_->PressConversion();
        return;
      case k1555Box:
        model_->Toggle1555();
        return;
      case kSmallestBox:
        model_->SetSmallest(SendMessageW(smallestBox_, BM_GETCHECK, 0, 0) == BST_CHECKED);
        return;
      case IDCANCEL:
        model_->RequestClose();
        return;
    }
  }
  if (code == EN_CHANGE && id == kStartFrameEdit) {
    HandleFrameText(startFrameEdit_, startFrameText_, &DialogModel::SetStartFrameText);
  }
  if (code == EN_CHANGE && id == kEndFrameEdit) {
    HandleFrameText(endFrameEdit_, endFrameText_, &DialogModel::SetEndFrameText);
  }
}

// ES_NUMBER stops typed letters but not pasted ones: text that is not
// frame text is put back to the last that was.
void DialogWindow::HandleFrameText(HWND edit, std::wstring& accepted,
                                   void (DialogModel::*set)(std::string)) {
  const std::wstring text = WindowText(edit);
  if (!IsFrameText(Utf8(text))) {
    SetWindowTextW(edit, accepted.c_str());
    return;
  }
  accepted = text;
  (model_.get()->*set)(Utf8(text));
}

void DialogWindow::HandleReportChange(const NMLISTVIEW& change) {
  const bool selected =
      (change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0;
  if (selected && !fillingReport_) model_->ChooseRow(change.iItem);
}

void DialogWindow::HandleDrop(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT index = 0; index < count; ++index) {
    std::wstring path(DragQueryFileW(drop, index, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, index, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(Utf8(path));
  }
  DragFinish(drop);
  if (model_->AcceptsDrop()) model_->Drop(paths);
}

// As a dialog does: the control that had the focus when the window was
// left (for a file dialog, a message box or another program) gets it back.
void DialogWindow::KeepFocus(bool activated) {
  if (!activated) {
    const HWND focus = GetFocus();
    if (IsChild(window_, focus)) lastFocus_ = focus;
    return;
  }
  SetFocus(IsWindowEnabled(lastFocus_) ? lastFocus_ : conversionButton_);
}

bool DialogWindow::IsDroppedDown(HWND focus) const {
  for (HWND combo : {alphaCombo_, colours_->modeCombo(), GetDlgItem(window_, kPreviewZoomCombo)}) {
    if (focus == combo && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0) return true;
  }
  return false;
}

// An open drop-down list keeps Enter and Escape for itself.
bool DialogWindow::HandleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  switch (message.wParam) {
    case VK_RETURN:
      return !IsDroppedDown(GetFocus());
    case VK_ESCAPE:
      if (IsDroppedDown(GetFocus())) return false;
      model_->RequestClose();
      return true;
    case VK_F1:
      model_->ShowHelp();
      return true;
    default:
      return false;
  }
}

std::string DialogWindow::ReadProfilePath() {
  const std::filesystem::path file = ProfileFile();
  if (file.empty()) return {};
  std::wstring value(32767, L'\0');
  value.resize(GetPrivateProfileStringW(L"KRELT", L"PATH", L"", value.data(),
                                        static_cast<DWORD>(value.size()), file.c_str()));
  return Utf8(value);
}

std::optional<std::string> DialogWindow::ChooseFile(std::string_view initialName,
                                                    std::span<const std::string_view> filters) {
  const std::wstring filter = FilterPairs(filters);
  std::wstring file = Wide(initialName);
  file.resize(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return Utf8(file.c_str());
}

void DialogWindow::OpenFile(const std::string& path) {
  ShellExecuteW(window_, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void DialogWindow::ShowMessage(const Message& message) {
  MessageBoxW(window_, Wide(message.text).c_str(), Wide(message.caption).c_str(), MB_OK);
}

void DialogWindow::ShowSelection(const std::string& path, bool use1555) {
  SetText(pathEdit_, path);
  SendMessageW(use1555Box_, BM_SETCHECK, use1555 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DialogWindow::ShowOutputName(const std::string& outputName) {
  SetText(outputNameEdit_, outputName);
}

void DialogWindow::EnableOpen(bool enabled) { EnableWindow(openButton_, enabled); }

// A control that loses the focus to being disabled hands it to the button,
// so the keyboard keeps working.
void DialogWindow::ShowRunControls(const RunControls& controls) {
  SetText(conversionButton_, controls.conversionText);
  DragAcceptFiles(window_, model_->AcceptsDrop());
  const HWND focus = GetFocus();
  for (HWND control : {findButton_, pathEdit_, alphaCombo_, startFrameEdit_, endFrameEdit_,
                       use1555Box_, smallestBox_}) {
    EnableWindow(control, controls.requestControlsEnabled);
  }
  colours_->Enable(controls.requestControlsEnabled);
  if (focus != nullptr && IsChild(window_, focus) && !IsWindowEnabled(focus)) {
    SetFocus(conversionButton_);
  }
}

void DialogWindow::ShowColourChoice(const ColourChoice& choice) { colours_->Show(choice); }

void DialogWindow::ShowProgress(const RunProgress& progress) {
  SendMessageW(progressBar_, PBM_SETRANGE32, 0, progress.maximum);
  SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(progress.position), 0);
}

void DialogWindow::ShowReport(const std::vector<ShownRow>& rows) {
  fillingReport_ = true;
  SendMessageW(reportList_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(reportList_, LVM_DELETEALLITEMS, 0, 0);
  for (int index = 0; const ShownRow& row : rows) {
    std::wstring type = Wide(row.type);
    std::wstring content = Wide(row.content);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index++;
    item.pszText = type.data();
    item.iImage = row.icon == ReportIcon::kRecord  ? 0
                  : row.icon == ReportIcon::kField ? 1
                                                   : I_IMAGENONE;
    const auto inserted = static_cast<int>(
        SendMessageW(reportList_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    item.mask = LVIF_TEXT;
    item.iItem = inserted;
    item.iSubItem = 1;
    item.pszText = content.data();
    SendMessageW(reportList_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(reportList_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(reportList_, nullptr, TRUE);
  fillingReport_ = false;
}

void DialogWindow::CloseWindow() { DestroyWindow(window_); }

void DialogWindow::ShowPreview(const PreviewScreen& screen) { preview_->Show(screen); }

}  // namespace krelt::win32
