// The dialog tests need a QApplication; they run on the offscreen platform
// unless told otherwise, so no display is needed.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/qt_text.h"
#include "front/dialog_texts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QApplication::setApplicationName(krelt::ToQString(krelt::kApplicationName));
  return RUN_ALL_TESTS();
}
