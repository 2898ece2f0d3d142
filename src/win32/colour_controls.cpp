#include "win32/colour_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>

#include "front/dialog_texts.h"
#include "image/colour_table.h"
#include "palette/colour_reduction.h"
#include "win32/control_ids.h"
#include "win32/wide_text.h"

namespace krelt::win32 {

std::optional<std::int32_t> ColourCountFromText(std::string_view text) {
  std::int32_t count = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, count);
  if (error != std::errc() || stop != end || count < kMinReducedColours ||
      count > static_cast<std::int32_t>(kMaxTableColours)) {
    return std::nullopt;
  }
  return count;
}

ColourControls::ColourControls(HWND parent, DialogModel& model)
    : model_(model),
      label_(CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT, Wide(kColoursLabel).c_str())),
      modeCombo_(CreateControl(parent, WC_COMBOBOXW, kColourModeCombo,
                               WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST)),
      tableButton_(CreateControl(parent, WC_BUTTONW, kColourTableButton,
                                 WS_TABSTOP | BS_PUSHBUTTON)),
      countLabel_(
          CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT, Wide(kColourCountLabel).c_str())),
      countEdit_(CreateNumberEdit(parent, kColourCountEdit)),
      countSpin_(CreateArrows(parent, kColourCountSpin, countEdit_)),
      ditheringBox_(CreateControl(parent, WC_BUTTONW, kDitheringBox, WS_TABSTOP | BS_AUTOCHECKBOX,
                                  Wide(kDitheringText).c_str())) {
  for (const std::string_view text : kColourModeTexts) {
    SendMessageW(modeCombo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  SendMessageW(countSpin_, UDM_SETRANGE32, kMinReducedColours,
               static_cast<LPARAM>(kMaxTableColours));
}

// The N box keeps text the user is still typing when it means the same
// count. The count and Dither apply to a reduction and a table only.
void ColourControls::Show(const ColourChoice& choice) {
  showing_ = true;
  SendMessageW(modeCombo_, CB_SETCURSEL, static_cast<WPARAM>(choice.mode), 0);
  const bool mapping = choice.mode == ColourMode::kMapToTable;
  const std::wstring table =
      mapping ? PathFromUtf8(choice.tablePath).filename().wstring() : Wide(kColourTableText);
  SetWindowTextW(tableButton_, table.c_str());
  if (ColourCountFromText(Utf8(WindowText(countEdit_))) != choice.colours) {
    SendMessageW(countSpin_, UDM_SETPOS32, 0, choice.colours);
  }
  SendMessageW(ditheringBox_, BM_SETCHECK, choice.dithering ? BST_CHECKED : BST_UNCHECKED, 0);
  showing_ = false;

  const bool reducing = choice.mode == ColourMode::kReduce;
  EnableWindow(modeCombo_, enabled_);
  EnableWindow(tableButton_, enabled_);
  EnableWindow(countEdit_, enabled_ && reducing);
  EnableWindow(countSpin_, enabled_ && reducing);
  EnableWindow(ditheringBox_, enabled_ && choice.mode != ColourMode::kAsPicture);
}

void ColourControls::Enable(bool enabled) {
  enabled_ = enabled;
  Show(model_.colourChoice());
}

void ColourControls::Layout(int left, int right, int labelsTop, int fieldsTop,
                            const WindowMetrics& m) {
  const int gap = m.X(6);
  const int fieldHeight = m.Y(14);
  const int modeWidth = m.X(76);
  const int countWidth = m.X(32);
  const int ditheringWidth = m.X(36);
  Place(label_, left, labelsTop, modeWidth, m.Y(8));
  Place(modeCombo_, left, fieldsTop, modeWidth, m.Y(60));
  const int tableLeft = left + modeWidth + m.X(4);
  const int countLeft = right - ditheringWidth - gap - countWidth;
  Place(tableButton_, tableLeft, fieldsTop, std::max(countLeft - gap - tableLeft, 0), fieldHeight);
  Place(countLabel_, countLeft, labelsTop, countWidth, m.Y(8));
  Place(countEdit_, countLeft, fieldsTop, countWidth, fieldHeight);
  SendMessageW(countSpin_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(countEdit_), 0);
  Place(ditheringBox_, right - ditheringWidth, fieldsTop + m.Y(2), ditheringWidth, m.Y(10));
}

// The N box passes on whole counts only; what was left unfinished in it
// goes back to the model's count when it loses the focus.
bool ColourControls::HandleCommand(int id, int code) {
  switch (id) {
    case kColourModeCombo:
      if (code == CBN_SELCHANGE) {
        const auto index = SendMessageW(modeCombo_, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < static_cast<LRESULT>(std::size(kColourModeTexts))) {
          model_.SetColourMode(static_cast<ColourMode>(index));
        }
      }
      return true;
    case kColourTableButton:
      if (code == BN_CLICKED) model_.ChooseColourTable();
      return true;
    case kColourCountEdit:
      if (code == EN_CHANGE && !showing_) {
        if (const auto count = ColourCountFromText(Utf8(WindowText(countEdit_)))) {
          model_.SetColourCount(*count);
        }
      }
      if (code == EN_KILLFOCUS) Show(model_.colourChoice());
      return true;
    case kDitheringBox:
      if (code == BN_CLICKED) {
        model_.SetDithering(SendMessageW(ditheringBox_, BM_GETCHECK, 0, 0) == BST_CHECKED);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace krelt::win32
