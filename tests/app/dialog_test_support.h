#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "app/converter_dialog.h"

namespace krelt::test {

struct Message {
  QString text;
  QString caption;
};

// Hooks that record every call and answer the file chooser from a script.
struct RecordingHooks {
  std::optional<QString> chooserAnswer;  // nothing: the user cancels
  QString profilePath;
  std::vector<QString> chooserInitialNames;
  QStringList chooserFilters;
  std::vector<QString> openedFiles;
  std::vector<Message> messages;

  DialogHooks Hooks();
};

// A fresh dialog with recording hooks and a scratch folder per test.
class DialogTest : public testing::Test {
 protected:
  void SetUp() override;

  template <typename Control>
  Control* Find(const char* objectName) const {
    auto* control =
        dialog->findChild<Control*>(QString::fromLatin1(objectName));
    EXPECT_NE(control, nullptr) << objectName;
    return control;
  }

  // Drags the given files, first to last, onto the dialog and drops them;
  // returns once the dialog is idle again (WaitUntilIdle).
  void Drop(const QStringList& paths);
  // Chooses a file through "Find.." with the scripted chooser.
  void ChooseWithFind(const QString& path);
  // Copies a bundled sample into the scratch folder; returns the copy's path.
  QString CopySample(const QString& name) const;
  // Clicks the button; returns once the dialog is idle again.
  void Click(const char* buttonName);
  // Runs the event loop until no conversion is running and the preview
  // shows what it was last asked for.
  void WaitUntilIdle();
  // The texts of one column of the report list, top to bottom.
  QStringList ReportColumn(int column) const;

  QString PathText() const;
  QString OutputNameText() const;
  bool OpenEnabled() const;

  RecordingHooks recorded;
  QTemporaryDir scratch;
  std::unique_ptr<ConverterDialog> dialog;
};

}  // namespace krelt::test

// Readable test failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << '{';
  for (const QString& text : texts) *out << '"' << text.toStdString() << "\" ";
  *out << '}';
}
