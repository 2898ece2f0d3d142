// Conversions started from the dialog: what the report list, the progress
// bar, "Open.." and the messages show.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>

#include "gd/gd_reader.h"
#include "gd/gd_verify.h"
#include "dialog_test_support.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt::test {
namespace {

const QStringList kRecordTypes = {
    "TYPE_GrData", "version", "reserved", "data format", "compressed method",
    "data",        "size",    "width",    "height"};

QImage IconImage(const QIcon& icon) {
  return icon.pixmap(QSize(16, 16))
      .toImage()
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ResourceImage(const char* name) {
  return QImage(QString::fromLatin1(name))
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

using ConversionTest = DialogTest;

TEST_F(ConversionTest, BmpPictureFillsTheReportAndEnablesOpen) {
  const QString picture = CopySample("logo.bmp");
  Drop({picture});
  Click("conversionButton");

  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_TRUE(QFile::exists(scratch.filePath("logo.GD")));
  EXPECT_EQ(ReportColumn(0), kRecordTypes);
  EXPECT_EQ(ReportColumn(1),
            QStringList({"logoGd", "1", "0", "", "COMPRESS_Tfp", "logoCpm",
                         "9216", "64", "48"}));
  EXPECT_TRUE(OpenEnabled());
  const auto* progress = Find<QProgressBar>("progressBar");
  EXPECT_GT(progress->maximum(), 1);
  EXPECT_EQ(progress->value(), progress->maximum());
}

TEST_F(ConversionTest, RecordRowsShowTheRedBallFieldRowsTheGreenOne) {
  Drop({CopySample("badge.pcx")});
  Click("conversionButton");
  const auto* list = Find<QTableWidget>("reportList");
  ASSERT_EQ(list->rowCount(), 9);
  EXPECT_EQ(list->item(3, 1)->text(), "OSD_256");
  const QImage record = ResourceImage(":/icons/record_16.png");
  const QImage field = ResourceImage(":/icons/field_16.png");
  ASSERT_FALSE(record.isNull());
  ASSERT_NE(record, field);
  EXPECT_EQ(IconImage(list->item(0, 0)->icon()), record);
  for (int row = 1; row < list->rowCount(); ++row) {
    EXPECT_EQ(IconImage(list->item(row, 0)->icon()), field) << row;
    EXPECT_TRUE(list->item(row, 1)->icon().isNull()) << row;
  }
}

// Frames 2 and 3 of the four-frame sample: ten rows per record, then the
// pointer table; empty rows and pointer rows carry no icon.
TEST_F(ConversionTest, SpriteRangeListsEveryRecordAndThePointerTable) {
  Drop({CopySample("spin.xsp")});
  Find<QLineEdit>("startFrameEdit")->setText("2");
  Click("conversionButton");
  ASSERT_TRUE(recorded.messages.empty());

  const QStringList types = ReportColumn(0);
  const QStringList contents = ReportColumn(1);
  ASSERT_EQ(types.size(), 24);
  EXPECT_EQ(types.mid(0, 9), kRecordTypes);
  EXPECT_EQ(types.mid(10, 9), kRecordTypes);
  EXPECT_EQ(contents[0], "spin2Gd");
  EXPECT_EQ(contents[10], "spin3Gd");
  EXPECT_EQ(types.mid(20), QStringList({"TYPE_GrData", "", "", ""}));
  EXPECT_EQ(contents.mid(20),
            QStringList({"spinGd", "spin2Gd", "spin3Gd", ""}));

  const auto* list = Find<QTableWidget>("reportList");
  for (const int row : {9, 19, 21, 22, 23}) {
    EXPECT_TRUE(list->item(row, 0)->icon().isNull()) << row;
  }
  EXPECT_FALSE(list->item(20, 0)->icon().isNull());
}

TEST_F(ConversionTest, OpenHandsOverTheFileTheConversionWrote) {
  struct Case {
    const char* sample;
    const char* startFrame;
    const char* outputName;
    const char* written;
  };
  const Case cases[] = {
      {"logo.bmp", "", "logo.GD", "logo.GD"},
      {"spin.xsp", "", "spin.GD", "spin.GD"},
      {"spin.xsp", "2", "spin.GD", "spin2.GD"},
  };
  for (const Case& test : cases) {
    const QString sample = QString::fromLatin1(test.sample);
    const QString picture = QFile::exists(scratch.filePath(sample))
                                ? scratch.filePath(sample)
                                : CopySample(sample);
    Drop({picture});
    Find<QLineEdit>("startFrameEdit")->setText(test.startFrame);
    Click("conversionButton");
    EXPECT_EQ(OutputNameText(), scratch.filePath(test.outputName));
    recorded.openedFiles.clear();
    Click("openButton");
    ASSERT_EQ(recorded.openedFiles.size(), 1u) << test.sample;
    EXPECT_EQ(recorded.openedFiles[0], scratch.filePath(test.written));
    EXPECT_TRUE(QFile::exists(recorded.openedFiles[0]));
  }
}

TEST_F(ConversionTest, EveryNewSelectionDisablesOpen) {
  const QString picture = CopySample("logo.bmp");
  Drop({picture});
  Click("conversionButton");
  ASSERT_TRUE(OpenEnabled());
  Drop({"/pics/notes.txt"});
  EXPECT_FALSE(OpenEnabled());

  Click("conversionButton");
  ASSERT_TRUE(OpenEnabled());
  ChooseWithFind(picture);
  EXPECT_FALSE(OpenEnabled());

  Click("conversionButton");
  ASSERT_TRUE(OpenEnabled());
  Drop({picture});
  EXPECT_FALSE(OpenEnabled());
}

TEST_F(ConversionTest, TextTypedIntoThePathFieldIsNotConverted) {
  Drop({CopySample("logo.bmp")});
  Find<QLineEdit>("pathEdit")->setText(scratch.filePath("other.pcx"));
  Click("conversionButton");
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_TRUE(QFile::exists(scratch.filePath("logo.GD")));
  EXPECT_FALSE(QFile::exists(scratch.filePath("other.GD")));
}

TEST_F(ConversionTest, UnreadablePictureShowsTheReasonAndWritesNothing) {
  const QString picture = scratch.filePath("broken.pcx");
  QFile file(picture);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a picture");
  file.close();
  Drop({picture});
  Click("conversionButton");
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_FALSE(recorded.messages[0].text.isEmpty());
  EXPECT_EQ(recorded.messages[0].caption, "Krelt");
  EXPECT_FALSE(QFile::exists(scratch.filePath("broken.GD")));
  EXPECT_EQ(Find<QTableWidget>("reportList")->rowCount(), 0);
  EXPECT_FALSE(OpenEnabled());
}

// The box and the flag a conversion uses move together: a 24-bit picture
// has 16-bit pixels (OSD_1555) only after an odd number of clicks.
TEST_F(ConversionTest, Clicks1555ToggleBoxAndFlagTogether) {
  const QString picture = CopySample("logo.bmp");
  dialog->show();
  auto* box = Find<QCheckBox>("use1555Box");
  struct Case {
    int clicks;
    const char* dataFormat;
    const char* size;
  };
  const Case cases[] = {{0, "", "9216"},
                        {1, "OSD_1555", "6144"},
                        {2, "", "9216"},
                        {3, "OSD_1555", "6144"}};
  int clicked = 0;
  for (const Case& test : cases) {
    for (; clicked < test.clicks; ++clicked) {
      QTest::mouseClick(box, Qt::LeftButton);
    }
    EXPECT_EQ(box->isChecked(), test.clicks % 2 == 1);
    Drop({picture});
    EXPECT_EQ(box->isChecked(), test.clicks % 2 == 1);
    Click("conversionButton");
    const QStringList contents = ReportColumn(1);
    ASSERT_EQ(contents.size(), 9);
    EXPECT_EQ(contents[3], test.dataFormat) << test.clicks;
    EXPECT_EQ(contents[6], test.size) << test.clicks;
  }
}

// The colours control: a reduction clears 1555 and writes palette indices;
// mapping onto a chosen table does too and names the table, and its
// notice counts the colours the table lacks.
TEST_F(ConversionTest, ColoursControlWritesPaletteIndices) {
  const QString picture = CopySample("logo.bmp");
  dialog->show();
  auto* box = Find<QCheckBox>("use1555Box");
  auto* mode = Find<QComboBox>("colourModeCombo");
  auto* count = Find<QSpinBox>("colourCountSpin");
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_FALSE(count->isEnabled());
  emit mode->activated(static_cast<int>(ColourMode::kReduce));
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(count->isEnabled());
  count->setValue(16);
  Drop({picture});
  Click("conversionButton");
  QStringList contents = ReportColumn(1);
  ASSERT_EQ(contents.size(), 9);
  EXPECT_EQ(contents[3], "OSD_256");
  EXPECT_EQ(contents[6], "3072");
  EXPECT_TRUE(recorded.messages.empty());

  QFile table(scratch.filePath("osd.gpl"));
  ASSERT_TRUE(table.open(QIODevice::WriteOnly));
  table.write("GIMP Palette\n0 0 0\n255 255 255\n");
  table.close();
  recorded.chooserAnswer = table.fileName();
  emit mode->activated(static_cast<int>(ColourMode::kMapToTable));
  EXPECT_EQ(mode->currentIndex(), static_cast<int>(ColourMode::kMapToTable));
  EXPECT_EQ(Find<QLabel>("colourTableLabel")->text(), "osd.gpl");
  Click("conversionButton");
  contents = ReportColumn(1);
  ASSERT_EQ(contents.size(), 9);
  EXPECT_EQ(contents[3], "OSD_256");
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].caption, "Notice");
  EXPECT_TRUE(recorded.messages[0].text.startsWith("logo.bmp: "));
}

// What the reader noticed is shown after the conversion, as a notice.
TEST_F(ConversionTest, ReaderNoticesAreShownAfterTheReport) {
  PcxSpec layout;
  layout.planes = 3;
  layout.width = 33;
  layout.pixels.assign(3 * 33, 90);
  const QString picture = scratch.filePath("photo.pcx");
  WriteBytes(picture.toStdString(), MakePcx(layout));
  Drop({picture});
  Click("conversionButton");

  EXPECT_TRUE(QFile::exists(scratch.filePath("photo.GD")));
  EXPECT_EQ(ReportColumn(1).at(7), "34");
  ASSERT_EQ(recorded.messages.size(), 1u);
  EXPECT_EQ(recorded.messages[0].text,
            "photo.pcx: 24-bit PCX: 34 pixels wide as stored (bytes per line); its window is 33 wide");
  EXPECT_EQ(recorded.messages[0].caption, "Notice");
}

// The pixels every record of a GD file decodes to, one buffer per record.
std::vector<std::vector<std::uint8_t>> DecodedRecords(const QString& gdPath,
                                                      std::size_t& compressedBytes) {
  QFile file(gdPath);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  GdSource source;
  EXPECT_TRUE(ParseGdSource(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                            source).ok());
  std::vector<std::vector<std::uint8_t>> records;
  compressedBytes = 0;
  const Status status = VerifyGdSource(source, [&](const VerifiedRecord& record,
                                                   std::span<const std::uint8_t> pixels) {
    compressedBytes += record.compressedBytes;
    records.emplace_back(pixels.begin(), pixels.end());
    return Status();
  });
  EXPECT_TRUE(status.ok()) << status.message();
  return records;
}

// "Smallest" writes smaller arrays of the same pixels; clearing it again
// brings back the default arrays.
TEST_F(ConversionTest, SmallestBoxWritesSmallerArraysOfTheSamePixels) {
  const QString picture = CopySample("logo.bmp");
  const QString gdPath = scratch.filePath("logo.GD");
  dialog->show();
  auto* box = Find<QCheckBox>("smallestBox");
  EXPECT_FALSE(box->isChecked());
  std::size_t sizes[3] = {};
  std::vector<std::vector<std::uint8_t>> pixels[3];
  for (int run = 0; run < 3; ++run) {
    if (run > 0) QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(box->isChecked(), run == 1);
    Drop({picture});
    Click("conversionButton");
    pixels[run] = DecodedRecords(gdPath, sizes[run]);
  }
  ASSERT_FALSE(pixels[0].empty());
  EXPECT_EQ(pixels[1], pixels[0]);
  EXPECT_EQ(pixels[2], pixels[0]);
  EXPECT_LT(sizes[1], sizes[0]);
  EXPECT_EQ(sizes[2], sizes[0]);
}

}  // namespace
}  // namespace krelt::test
