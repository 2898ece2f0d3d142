#include "win32/preview_pane.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "win32/control_ids.h"
#include "win32/wide_text.h"

namespace krelt::win32 {
namespace {

constexpr int kFigureLines = 3;
// Wide enough for the figures' longest line, the file's totals.
constexpr int kFiguresWidth = 240;  // dialog units

}  // namespace

PreviewPane::PreviewPane(HWND parent, std::function<void(int frame)> frameChosen)
    : frameChosen_(std::move(frameChosen)),
      title_(CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT | SS_NOPREFIX)),
      picture_(parent, kPreviewPicture),
      frameLabel_(
          CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT, Wide(kFrameLabel).c_str())),
      frameEdit_(CreateNumberEdit(parent, kPreviewFrameEdit)),
      frameSpin_(CreateArrows(parent, kPreviewFrameSpin, frameEdit_)),
      zoomLabel_(CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT, Wide(kZoomLabel).c_str())),
      zoomCombo_(CreateControl(parent, WC_COMBOBOXW, kPreviewZoomCombo,
                               WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST)),
      figures_(CreateControl(parent, WC_STATICW, kStaticText, SS_LEFT | SS_NOPREFIX)) {
  for (const ZoomChoice& zoom : kZoomChoices) {
    SendMessageW(zoomCombo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(zoom.text).c_str()));
  }
  SendMessageW(zoomCombo_, CB_SETCURSEL, 0, 0);
}

// The frame box changes without telling anyone what it was told.
void PreviewPane::Show(const PreviewScreen& screen) {
  SetText(title_, screen.title);
  if (screen.image != shownImage_) {
    shownImage_ = screen.image;
    picture_.SetImage(shownImage_);
  }
  SetText(figures_, screen.figures);
  showing_ = true;
  SendMessageW(frameSpin_, UDM_SETRANGE32, static_cast<WPARAM>(screen.frames.first),
               screen.frames.last);
  SendMessageW(frameSpin_, UDM_SETPOS32, 0, screen.frames.value);
  showing_ = false;
  EnableWindow(frameEdit_, screen.frames.enabled);
  EnableWindow(frameSpin_, screen.frames.enabled);
}

int PreviewPane::ControlRowHeight(const WindowMetrics& metrics) const { return metrics.Y(14); }

SIZE PreviewPane::MinimumSize(const WindowMetrics& metrics) const {
  const int side = metrics.Pixels(kPreviewMinimumSide);
  const int gap = metrics.Y(4);
  return {std::max(side, metrics.X(kFiguresWidth)),
          metrics.LineHeight() + side + ControlRowHeight(metrics) +
              kFigureLines * metrics.LineHeight() + 3 * gap};
}

// Title, picture, the row of boxes, then the figures, top to bottom.
void PreviewPane::Layout(const RECT& area, const WindowMetrics& metrics) {
  const int width = area.right - area.left;
  const int gap = metrics.Y(4);
  const int line = metrics.LineHeight();
  const int rowHeight = ControlRowHeight(metrics);
  const int figuresHeight = kFigureLines * line;
  Place(title_, area.left, area.top, width, line);
  const int pictureTop = area.top + line + gap;
  const int rowTop = area.bottom - figuresHeight - gap - rowHeight;
  Place(picture_.window(), area.left, pictureTop, width, std::max(rowTop - gap - pictureTop, 0));

  const int labelWidth = metrics.X(24);
  const int boxWidth = (width - 2 * labelWidth - metrics.X(8)) / 2;
  const int labelOffset = (rowHeight - line) / 2;
  int x = area.left;
  Place(frameLabel_, x, rowTop + labelOffset, labelWidth, line);
  x += labelWidth;
  Place(frameEdit_, x, rowTop, boxWidth, rowHeight);
  SendMessageW(frameSpin_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(frameEdit_), 0);
  x += boxWidth + metrics.X(8);
  Place(zoomLabel_, x, rowTop + labelOffset, labelWidth, line);
  x += labelWidth;
  Place(zoomCombo_, x, rowTop, area.right - x, metrics.Y(80));
  Place(figures_, area.left, area.bottom - figuresHeight, width, figuresHeight);
}

bool PreviewPane::HandleCommand(int id, int code) {
  if (id == kPreviewFrameEdit && code == EN_CHANGE) {
    if (showing_ || !IsWindowEnabled(frameEdit_)) return true;
    BOOL failed = FALSE;
    const auto frame = static_cast<int>(
        SendMessageW(frameSpin_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    if (!failed) frameChosen_(frame);
    return true;
  }
  if (id == kPreviewZoomCombo && code == CBN_SELCHANGE) {
    const auto index = SendMessageW(zoomCombo_, CB_GETCURSEL, 0, 0);
    if (index >= 0 && index < static_cast<LRESULT>(std::size(kZoomChoices))) {
      picture_.SetZoom(kZoomChoices[index].factor);
    }
    return true;
  }
  return false;
}

}  // namespace krelt::win32
