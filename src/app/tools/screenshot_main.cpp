// Renders the Krelt dialog after converting a picture and saves it as PNG:
//   krelt_screenshot PICTURE OUTPUT.png
// The picture is chosen through "Find.." and converted through "Conversion"
// exactly as a user would, and the dialog is grabbed once the run has ended;
// the GD file is written next to PICTURE. For a sprite file the preview then
// shows frame 1 decoded from the GD file.

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <cstdio>

#include "app/converter_dialog.h"
#include "app/qt_text.h"
#include "front/dialog_texts.h"

namespace {

krelt::DialogHooks ScriptedHooks(const QString& picture) {
  krelt::DialogHooks hooks = krelt::DesktopDialogHooks();
  hooks.chooseFile = [picture](QWidget*, const QString&, const QStringList&) {
    return std::optional<QString>(picture);
  };
  hooks.readProfilePath = [] { return QString(); };
  hooks.openFile = [](const QString&) {};
  hooks.showMessage = [](QWidget*, const QString& text, const QString&) {
    std::fprintf(stderr, "krelt_screenshot: %s\n", qPrintable(text));
  };
  return hooks;
}

// Runs the event loop until the run and the preview's decoding have ended.
void WaitUntilShown(const krelt::ConverterDialog& dialog) {
  while (dialog.conversionRunning() || dialog.previewDecoding()) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

bool Click(const krelt::ConverterDialog& dialog, const char* buttonName) {
  auto* button =
      dialog.findChild<QPushButton*>(QString::fromLatin1(buttonName));
  if (button == nullptr) return false;
  button->click();
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(krelt::ToQString(krelt::kApplicationName));
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() != 3) {
    std::fputs("Usage: krelt_screenshot PICTURE OUTPUT.png\n", stderr);
    return 2;
  }
  krelt::ConverterDialog dialog(ScriptedHooks(arguments[1]));
  dialog.show();
  if (!Click(dialog, "findButton") || !Click(dialog, "conversionButton")) {
    std::fputs("krelt_screenshot: dialog buttons not found\n", stderr);
    return 1;
  }
  WaitUntilShown(dialog);
  if (auto* frame = dialog.findChild<QSpinBox*>(QStringLiteral("previewFrame"))) {
    frame->setValue(1);
  }
  WaitUntilShown(dialog);
  // The results grow the window to fit the preview's figures; the new size
  // arrives as an event of its own, after the layout request asking for it.
  QApplication::processEvents();
  QApplication::processEvents();
  if (!dialog.grab().save(arguments[2], "PNG")) {
    std::fprintf(stderr, "krelt_screenshot: can't write %s\n",
                 qPrintable(arguments[2]));
    return 1;
  }
  return 0;
}
