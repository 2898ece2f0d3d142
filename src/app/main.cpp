// Krelt: the dialog that turns a picture into a GD source file.

#include <QApplication>

#include "app/converter_dialog.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(krelt::kApplicationName);
  krelt::ConverterDialog dialog;
  QApplication::setWindowIcon(dialog.windowIcon());
  dialog.exec();
  return 0;
}
