#include "dialog_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

namespace krelt::test {

DialogHooks RecordingHooks::Hooks() {
  DialogHooks hooks;
  hooks.chooseFile = [this](QWidget*, const QString& initialName,
                            const QStringList& filters) {
    chooserInitialNames.push_back(initialName);
    chooserFilters = filters;
    return chooserAnswer;
  };
  hooks.readProfilePath = [this] { return profilePath; };
  hooks.openFile = [this](const QString& path) { openedFiles.push_back(path); };
  hooks.showMessage = [this](QWidget*, const QString& text,
                             const QString& caption) {
    messages.push_back({text, caption});
  };
  return hooks;
}

void DialogTest::SetUp() {
  ASSERT_TRUE(scratch.isValid());
  dialog = std::make_unique<ConverterDialog>(recorded.Hooks());
}

void DialogTest::Drop(const QStringList& paths) {
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  QMimeData mime;
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                  Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &drop);
  WaitUntilIdle();
}

void DialogTest::ChooseWithFind(const QString& path) {
  recorded.chooserAnswer = path;
  Click("findButton");
}

QString DialogTest::CopySample(const QString& name) const {
  const QString copy = scratch.filePath(name);
  EXPECT_TRUE(QFile::copy(QStringLiteral(KRELT_SAMPLES_DIR "/") + name, copy))
      << name.toStdString();
  return copy;
}

void DialogTest::Click(const char* buttonName) {
  Find<QPushButton>(buttonName)->click();
  WaitUntilIdle();
}

void DialogTest::WaitUntilIdle() {
  QDeadlineTimer deadline(std::chrono::minutes(1));
  const auto busy = [this] { return dialog->conversionRunning() || dialog->previewDecoding(); };
  while (busy() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  ASSERT_FALSE(busy()) << "the conversion or the preview did not end";
}

QStringList DialogTest::ReportColumn(int column) const {
  const auto* list = Find<QTableWidget>("reportList");
  QStringList texts;
  for (int row = 0; row < list->rowCount(); ++row) {
    texts.append(list->item(row, column)->text());
  }
  return texts;
}

QString DialogTest::PathText() const {
  return Find<QLineEdit>("pathEdit")->text();
}

QString DialogTest::OutputNameText() const {
  return Find<QLineEdit>("outputNameEdit")->text();
}

bool DialogTest::OpenEnabled() const {
  return Find<QPushButton>("openButton")->isEnabled();
}

}  // namespace krelt::test
