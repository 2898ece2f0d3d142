// Choosing the source: drops, "Find..", the profile and
// the output name shown.

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include "app/dialog_hooks.h"
#include "dialog_test_support.h"

namespace krelt::test {
namespace {

using DropTest = DialogTest;

TEST_F(DropTest, AcceptedFileIsSelected) {
  Drop({"/pics/LOGO.Pcx"});
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_EQ(PathText(), "/pics/LOGO.Pcx");
  EXPECT_EQ(OutputNameText(), "/pics/LOGO.GD");
  EXPECT_FALSE(OpenEnabled());
}

// Several files are converted, not selected: the selection stays, and
// files that can't be read are reported in the list, not in message boxes.
TEST_F(DropTest, SeveralFilesLeaveTheSelectionAlone) {
  Drop({"/pics/first.bmp"});
  Drop({"/pics/second.pcx", "/pics/third.xsp"});
  EXPECT_EQ(PathText(), "/pics/first.bmp");
  EXPECT_EQ(OutputNameText(), "/pics/first.GD");
  EXPECT_TRUE(recorded.messages.empty());
  const QStringList types = ReportColumn(0);
  ASSERT_EQ(types.size(), 2);
  EXPECT_EQ(types, QStringList({"second.pcx", "third.xsp"}));

  Drop({"/pics/notes.txt", "/pics/fine.pcx"});
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_EQ(PathText(), "/pics/first.bmp");
  EXPECT_EQ(ReportColumn(1).value(0), "Please select a correct image file!");
}

TEST_F(DropTest, RejectedFileBeforeAnySelectionShowsTheMessage) {
  Drop({"/pics/notes.txt"});
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].text, "Please select a correct image file!");
  EXPECT_EQ(recorded.messages[0].caption, "Krelt");
  EXPECT_EQ(PathText(), "");
  EXPECT_EQ(OutputNameText(), ".GD");
  EXPECT_FALSE(OpenEnabled());
}

// `krelt PICTURE` goes the same way as a drop.
TEST_F(DropTest, PictureNamedAtStartIsSelectedOrRejectedLikeADrop) {
  dialog->SelectPicture("/pics/Title.bmp");
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_EQ(PathText(), "/pics/Title.bmp");
  EXPECT_EQ(OutputNameText(), "/pics/Title.GD");

  dialog->SelectPicture("/pics/notes.txt");
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].text, "Please select a correct image file!");
  EXPECT_EQ(PathText(), "/pics/Title.bmp");
}

using FindTest = DialogTest;

TEST_F(FindTest, EmptyProfileStartsWithStarDotPcxAndTheFourFilters) {
  recorded.chooserAnswer.reset();
  Click("findButton");
  ASSERT_EQ(recorded.chooserInitialNames.size(), 1u);
  EXPECT_EQ(recorded.chooserInitialNames[0], "*.PCX");
  EXPECT_EQ(recorded.chooserFilters,
            QStringList({"PCX File   (*.PCX)", "XSP File   (*.XSP)",
                         "BMP File   (*.BMP)", "PNG File   (*.PNG)", "All Files   (*)"}));
}

TEST_F(FindTest, ProfileValueIsTheInitialName) {
  recorded.profilePath = "/home/art/logo.pcx";
  recorded.chooserAnswer.reset();
  Click("findButton");
  ASSERT_EQ(recorded.chooserInitialNames.size(), 1u);
  EXPECT_EQ(recorded.chooserInitialNames[0], "/home/art/logo.pcx");
}

TEST_F(FindTest, CancelChangesNothingVisible) {
  Drop({CopySample("logo.bmp")});
  Click("conversionButton");
  ASSERT_TRUE(OpenEnabled());
  const QString outputName = OutputNameText();
  Find<QLineEdit>("pathEdit")->setText("typed by hand");
  recorded.chooserAnswer.reset();
  Click("findButton");
  EXPECT_EQ(PathText(), "typed by hand");
  EXPECT_EQ(OutputNameText(), outputName);
  EXPECT_TRUE(OpenEnabled());
  EXPECT_TRUE(recorded.messages.empty());
}

TEST(ReadProfilePathTest, ReadsPathOfGroupKrelt) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  struct Case {
    const char* ini;
    const char* path;
  };
  const Case cases[] = {
      {"[KRELT]\nPATH=/home/art/logo.pcx\n", "/home/art/logo.pcx"},
      {"[KRELT]\nPATH=\"/home/art/a,b.pcx\"\n", "/home/art/a,b.pcx"},
      {"[KRELT]\nPATH=/home/art/a,b.pcx\n", "/home/art/a,b.pcx"},
      {"[KRELT]\nOTHER=x\n", ""},
      {"[OTHER]\nPATH=/home/art/logo.pcx\n", ""},
      {"", ""},
  };
  int fileNumber = 0;
  for (const Case& test : cases) {
    const QString iniPath =
        folder.filePath(QStringLiteral("krelt%1.ini").arg(++fileNumber));
    QFile file(iniPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(test.ini);
    file.close();
    const QSettings profile(iniPath, QSettings::IniFormat);
    EXPECT_EQ(ReadProfilePath(profile), test.path) << test.ini;
  }
}

// Qt's dialog folds the blanks before the parenthesis into one.
TEST(SourceFileDialogTest, OpensWithFirstFilterAndInitialName) {
  const auto fileDialog = CreateSourceFileDialog(
      nullptr, "*.PCX", {"PCX File   (*.PCX)", "All Files   (*)"});
  EXPECT_EQ(fileDialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(fileDialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(fileDialog->nameFilters(),
            QStringList({"PCX File (*.PCX)", "All Files (*)"}));
  EXPECT_EQ(fileDialog->selectedNameFilter(), "PCX File (*.PCX)");
}

// Qt's own dialog lists pictures whatever the letter case of their names.
TEST(SourceFileDialogTest, PatternsMatchAnyLetterCase) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (const char* name : {"a.pcx", "B.PCX", "c.Pcx", "d.txt", "e.bmp"}) {
    QFile file(folder.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const auto fileDialog = CreateSourceFileDialog(
      nullptr, folder.filePath("*.PCX"), {"PCX File   (*.PCX)"});
  const auto* model = fileDialog->findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  const QModelIndex root = model->index(folder.path());
  QStringList listed;
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return model->rowCount(root) >= 3; }, 5000));
  for (int row = 0; row < model->rowCount(root); ++row) {
    listed.append(model->index(row, 0, root).data().toString());
  }
  listed.sort();
  EXPECT_EQ(listed, QStringList({"B.PCX", "a.pcx", "c.Pcx"}));
}

}  // namespace
}  // namespace krelt::test
