// The preview beside the report list: the input before a conversion, the
// decoded streams after it, frames, zoom and transparency.

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <vector>

#include "app/preview_panel.h"
#include "common/file_io.h"
#include "dialog_test_support.h"
#include "image/xsp_sprite.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt::test {
namespace {

using PreviewTest = DialogTest;

const QImage& ShownImage(const ConverterDialog& dialog) {
  return dialog.findChild<PictureView*>(QStringLiteral("previewView"))->image();
}

// The colour the firmware shows for a 16-bit pixel: components widened by
// repeating their top bits, transparent unless bit 15 is set.
QRgb Expected1555(unsigned value) {
  const auto widen = [](unsigned five) { return (five << 3) | (five >> 2); };
  if ((value & 0x8000) == 0) return qRgba(0, 0, 0, 0);
  return qRgba(static_cast<int>(widen(value >> 10 & 31)),
               static_cast<int>(widen(value >> 5 & 31)),
               static_cast<int>(widen(value & 31)), 255);
}

TEST_F(PreviewTest, BeforeAConversionTheInputPictureShows) {
  Drop({CopySample("badge.pcx")});
  const QImage& image = ShownImage(*dialog);
  EXPECT_EQ(image.size(), QSize(80, 40));
  EXPECT_EQ(Find<QLabel>("previewTitle")->text(), "Input picture");
  EXPECT_TRUE(Find<QLabel>("previewFigures")->text().startsWith("80 \u00d7 40, 8-bit indices"));
  EXPECT_FALSE(Find<QSpinBox>("previewFrame")->isEnabled());
}

TEST_F(PreviewTest, AConvertedSpriteShowsTheDecodedPixelsOfTheSelectedFrame) {
  const QString sprite = CopySample("spin.xsp");
  Drop({sprite});
  QTest::mouseClick(Find<QCheckBox>("use1555Box"), Qt::LeftButton);
  Click("conversionButton");
  auto* frame = Find<QSpinBox>("previewFrame");
  ASSERT_TRUE(frame->isEnabled());
  EXPECT_EQ(frame->minimum(), 0);
  EXPECT_EQ(frame->maximum(), 3);
  frame->setValue(2);
  WaitUntilIdle();

  // What the reader makes of frame 2 with "1555", finished as the firmware
  // gets it: bit 15 on every pixel that is not 0.
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(ReadFileBytes(sprite.toStdString(), file).ok());
  XspFrame read;
  ReadOptions options;
  options.flag1555 = true;
  ASSERT_TRUE(ReadXspFrame(file, options, 2, read).ok());
  const QImage image = ShownImage(*dialog).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(image.size(), QSize(read.picture.width, read.picture.height));
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const std::size_t at = 2 * static_cast<std::size_t>(y * image.width() + x);
      unsigned value = read.picture.pixels[at] | read.picture.pixels[at + 1] << 8;
      if (value != 0) value |= 0x8000;
      ASSERT_EQ(image.pixel(x, y), Expected1555(value)) << x << ", " << y;
    }
  }
  EXPECT_EQ(Find<QLabel>("previewTitle")->text(), "Decoded from _spin2Gd");
  EXPECT_TRUE(Find<QLabel>("previewFigures")->text().contains("file: 4 records"));
}

TEST_F(PreviewTest, ChoosingAReportRowOfAFrameShowsThatFrame) {
  Drop({CopySample("spin.xsp")});
  Click("conversionButton");
  auto* list = Find<QTableWidget>("reportList");
  auto* frame = Find<QSpinBox>("previewFrame");
  struct Case {
    QString content;
    int rowOffset;  // 0: the record row, 5: its data field
    int frame;
  };
  for (const Case& c : {Case{"spin3Gd", 0, 3}, Case{"spin1Gd", 5, 1}, Case{"spin0Gd", 2, 0}}) {
    const QList<QTableWidgetItem*> found = list->findItems(c.content, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << c.content.toStdString();
    list->setCurrentCell(found.front()->row() + c.rowOffset, 1);
    EXPECT_EQ(frame->value(), c.frame) << c.content.toStdString();
  }
}

TEST_F(PreviewTest, AZeroSixteenBitPixelIsDrawnTransparent) {
  XspSpec layout;
  layout.pixelKind = 2;
  layout.defaultPalette.assign(768, 0);
  XspFrameSpec frame;
  frame.width = 2;
  frame.height = 1;
  frame.pixels = {0x00, 0x00, 0x00, 0xF8};  // 0 and pure red, 5-6-5
  layout.frames.push_back(frame);
  const QString sprite = scratch.filePath("dot.xsp");
  WriteBytes(sprite.toStdString(), MakeXsp(layout));
  Drop({sprite});
  Click("conversionButton");
  ASSERT_TRUE(recorded.messages.empty());

  Find<QComboBox>("previewZoom")->setCurrentIndex(4);  // 8x
  auto* view = dialog->findChild<PictureView*>(QStringLiteral("previewView"));
  ASSERT_EQ(view->size(), QSize(16, 8));
  const QImage drawn = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb transparent = drawn.pixel(3, 3);
  EXPECT_TRUE(transparent == qRgb(0xCC, 0xCC, 0xCC) || transparent == qRgb(0x99, 0x99, 0x99))
      << std::hex << transparent;
  EXPECT_EQ(drawn.pixel(11, 3), qRgb(255, 0, 0));
}

TEST_F(PreviewTest, ZoomScalesThePictureByWholeFactors) {
  Drop({CopySample("badge.pcx")});
  Click("conversionButton");
  auto* zoom = Find<QComboBox>("previewZoom");
  auto* view = dialog->findChild<PictureView*>(QStringLiteral("previewView"));
  const QStringList texts = {"Fit", "1\u00d7", "2\u00d7", "4\u00d7", "8\u00d7"};
  for (int index = 1; index < zoom->count(); ++index) {
    EXPECT_EQ(zoom->itemText(index), texts[index]);
    zoom->setCurrentIndex(index);
    EXPECT_EQ(view->size(), QSize(80, 40) * zoom->itemData(index).toInt());
  }
  // Nearest neighbour: each picture pixel is a block of one colour.
  const QImage drawn = view->grab().toImage();
  const QImage& shown = ShownImage(*dialog);
  for (int y = 0; y < 40; y += 7) {
    for (int x = 0; x < 80; x += 9) {
      EXPECT_EQ(drawn.pixel(8 * x + 7, 8 * y + 7) & 0xFFFFFF, shown.pixel(x, y) & 0xFFFFFF);
    }
  }
}

TEST_F(PreviewTest, TheDialogFitsASmallLaptopScreen) {
  Drop({CopySample("spin.xsp")});
  Click("conversionButton");
  const QSize wanted = dialog->sizeHint();
  EXPECT_LE(wanted.width(), 1366);
  // Room for a task bar and the window's title bar.
  EXPECT_LE(wanted.height(), 768 - 80);
}

}  // namespace
}  // namespace krelt::test
