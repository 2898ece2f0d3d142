// Krelt: the dialog that turns a picture into a GD source file.

#include <QApplication>
#include <QStringList>

#include "app/converter_dialog.h"
#include "app/qt_text.h"
#include "front/dialog_texts.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(krelt::ToQString(krelt::kApplicationName));
  krelt::ConverterDialog dialog;
  QApplication::setWindowIcon(dialog.windowIcon());
  // `krelt PICTURE`, as the desktop's "Open With" runs it.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) dialog.SelectPicture(arguments.at(1));
  dialog.exec();
  return 0;
}
