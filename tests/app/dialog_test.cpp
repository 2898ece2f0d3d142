// Start-up state, keys and tab order of the dialog.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QValidator>

#include "dialog_test_support.h"

namespace krelt::test {
namespace {

using DialogStartTest = DialogTest;

TEST_F(DialogStartTest, TitleButtonsAndFields) {
  EXPECT_EQ(dialog->windowTitle(), "Krelt 2.0.0.1");
  EXPECT_FALSE(dialog->windowIcon().isNull());

  EXPECT_EQ(Find<QPushButton>("findButton")->text(), "Find..");
  EXPECT_EQ(Find<QPushButton>("openButton")->text(), "Open..");
  EXPECT_EQ(Find<QPushButton>("conversionButton")->text(), "Conversion");
  EXPECT_TRUE(Find<QPushButton>("findButton")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("conversionButton")->isEnabled());
  EXPECT_FALSE(OpenEnabled());
  for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
    EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
  }

  const auto* path = Find<QLineEdit>("pathEdit");
  EXPECT_TRUE(path->text().isEmpty());
  EXPECT_TRUE(path->isEnabled());
  EXPECT_FALSE(path->isReadOnly());

  const auto* outputName = Find<QLineEdit>("outputNameEdit");
  EXPECT_TRUE(outputName->text().isEmpty());
  EXPECT_FALSE(outputName->isEnabled());

  const auto* use1555 = Find<QCheckBox>("use1555Box");
  EXPECT_EQ(use1555->text(), "1555");
  EXPECT_FALSE(use1555->isChecked());

  const auto* progress = Find<QProgressBar>("progressBar");
  EXPECT_EQ(progress->value(), 0);
  EXPECT_EQ(progress->minimum(), 0);

  // The labels of the selection group; the preview has its own.
  QStringList labels;
  const auto* preview = Find<QWidget>("previewPanel");
  for (const QLabel* label : dialog->findChildren<QLabel*>()) {
    if (!preview->isAncestorOf(label)) labels.append(label->text());
  }
  // The first is the colour table's name, empty until one is chosen.
  EXPECT_EQ(labels, QStringList({"", "alpha", "start frame", "end frame", "colours"}));
}

TEST_F(DialogStartTest, AlphaListOffersZeroToFifteenWithoutSelection) {
  const auto* alpha = Find<QComboBox>("alphaCombo");
  EXPECT_FALSE(alpha->isEditable());
  EXPECT_EQ(alpha->currentIndex(), -1);
  ASSERT_EQ(alpha->count(), 16);
  for (int index = 0; index < alpha->count(); ++index) {
    EXPECT_EQ(alpha->itemText(index), QString::number(index));
  }
}

TEST_F(DialogStartTest, FrameFieldsTakeDigitsOnlyAndAlignRight) {
  struct Case {
    QString text;
    bool accepted;
  };
  const Case cases[] = {{"", true},    {"0", true},   {"0123", true},
                        {"512", true}, {"-1", false}, {"+1", false},
                        {"1a", false}, {" 1", false}, {"1.5", false}};
  for (const char* name : {"startFrameEdit", "endFrameEdit"}) {
    const auto* edit = Find<QLineEdit>(name);
    EXPECT_TRUE(edit->text().isEmpty()) << name;
    EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight)
        << name;
    ASSERT_NE(edit->validator(), nullptr) << name;
    for (const Case& test : cases) {
      QString text = test.text;
      int position = 0;
      EXPECT_EQ(
          edit->validator()->validate(text, position) == QValidator::Acceptable,
          test.accepted)
          << name << " \"" << test.text.toStdString() << "\"";
    }
  }
}

TEST_F(DialogStartTest, ReportListColumnsAndLook) {
  const auto* list = Find<QTableWidget>("reportList");
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "type");
  EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "content");
  EXPECT_EQ(list->columnWidth(0), 180);
  EXPECT_EQ(list->columnWidth(1), 260);
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(list->rowCount(), 0);
}

// The tab stops in the order of the original window; "Open.." is one even
// while disabled, and Qt skips it then.
TEST_F(DialogStartTest, TabOrderFollowsTheTemplate) {
  QWidget* const start = Find<QWidget>("findButton");
  QStringList order;
  QWidget* widget = start;
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) &&
        widget->window() == dialog.get()) {
      order.append(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != start && order.size() < 20);
  EXPECT_EQ(order, QStringList({"findButton", "pathEdit", "conversionButton",
                                "alphaCombo", "startFrameEdit", "endFrameEdit",
                                "openButton", "reportList", "use1555Box",
                                "smallestBox", "colourModeCombo", "colourCountSpin",
                                "qt_spinbox_lineedit", "ditheringBox", "previewFrame",
                                "qt_spinbox_lineedit",
                                "previewZoom"}));
}

class DialogKeyTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  }
};

// Enter on "Conversion" would show "Select File!!"; on "Find.." it would run
// the file chooser; on the dialog it would close it or press a default.
TEST_F(DialogKeyTest, EnterDoesNothingWhereverTheFocusIs) {
  for (const char* name :
       {"findButton", "pathEdit", "conversionButton", "alphaCombo",
        "startFrameEdit", "endFrameEdit", "reportList", "use1555Box"}) {
    auto* widget = Find<QWidget>(name);
    widget->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(widget, key);
    }
    EXPECT_TRUE(dialog->isVisible()) << name;
  }
  QTest::keyClick(dialog.get(), Qt::Key_Return);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_TRUE(recorded.chooserInitialNames.empty());
  EXPECT_FALSE(Find<QCheckBox>("use1555Box")->isChecked());
}

TEST_F(DialogKeyTest, SpaceStillPressesTheFocusedButton) {
  auto* conversion = Find<QPushButton>("conversionButton");
  conversion->setFocus();
  QTest::keyClick(conversion, Qt::Key_Space);
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].text, "Select File!!");
  EXPECT_EQ(recorded.messages[0].caption, "Notice");
}

TEST_F(DialogKeyTest, EscapeClosesTheDialog) {
  Find<QWidget>("startFrameEdit")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(DialogKeyTest, F1ShowsHelp) {
  QTest::keyClick(dialog.get(), Qt::Key_F1);
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].caption, "Krelt help");
  EXPECT_TRUE(recorded.messages[0].text.contains("Find.."));
  EXPECT_TRUE(recorded.messages[0].text.contains("Conversion"));
}

}  // namespace
}  // namespace krelt::test
