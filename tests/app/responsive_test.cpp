// Conversions on the worker thread: the window stays alive, the bar moves,
// Cancel stops a run, and several dropped files are converted in turn.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "dialog_test_support.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt::test {
namespace {

QString WriteScratchFile(const QTemporaryDir& scratch, const QString& name,
                         std::span<const std::uint8_t> bytes) {
  const QString path = scratch.filePath(name);
  WriteBytes(path.toStdString(), bytes);
  return path;
}

// A photo-like 24-bit BMP: gradients with noise, which compresses slowly
// enough for a run to take a while.
QString WriteLargeBmp(const QTemporaryDir& scratch, const QString& name, int side) {
  BmpSpec layout;
  layout.width = side;
  layout.height = side;
  layout.pixels.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 3);
  std::uint32_t noise = 12345;
  for (std::size_t k = 0; k < layout.pixels.size(); ++k) {
    noise = noise * 1103515245u + 12345u;
    const std::size_t pixel = k / 3;
    const auto x = static_cast<std::uint32_t>(pixel % static_cast<std::size_t>(side));
    const auto y = static_cast<std::uint32_t>(pixel / static_cast<std::size_t>(side));
    layout.pixels[k] = static_cast<std::uint8_t>((x + 2 * y + k % 3 * 40 + (noise >> 28)) & 0xFF);
  }
  return WriteScratchFile(scratch, name, MakeBmp(layout));
}

// A file named like a picture that holds none.
QString WriteBrokenPcx(const QTemporaryDir& scratch) {
  constexpr std::string_view kText = "not a picture";
  return WriteScratchFile(scratch, "broken.pcx",
                          std::vector<std::uint8_t>(kText.begin(), kText.end()));
}

QStringList FolderEntries(const QTemporaryDir& scratch) {
  return QDir(scratch.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class ResponsiveTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    dialog->show();
  }

  // Presses "Conversion" without waiting for the run.
  void StartConversion() { Find<QPushButton>("conversionButton")->click(); }

  QString PreviewTitle() const { return Find<QLabel>("previewTitle")->text(); }

  // Runs the event loop until the bar reaches at least `position`.
  void WaitForProgress(int position) {
    const auto* bar = Find<QProgressBar>("progressBar");
    QDeadlineTimer deadline(std::chrono::minutes(1));
    while (bar->value() < position && dialog->conversionRunning() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
};

// CPU time of the calling thread, in milliseconds.
double ThreadCpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The event loop answers a 5 ms timer throughout the run, and the bar
// rises step by step to full. Blocking is what the GUI thread itself spends
// between two ticks: the CPU time it used, not the wall time, which on a
// loaded machine also counts the time it waited for a core.
TEST_F(ResponsiveTest, EventLoopKeepsRunningAndTheBarRises) {
  Drop({WriteLargeBmp(scratch, "large.bmp", 1800)});
  auto* bar = Find<QProgressBar>("progressBar");
  std::vector<int> values;
  QObject::connect(bar, &QProgressBar::valueChanged, [&values](int value) { values.push_back(value); });

  QElapsedTimer sinceTick;
  qint64 longestWallGap = 0;
  double lastTickCpu = 0;
  double longestBusyGap = 0;
  QTimer heartbeat;
  heartbeat.setInterval(5);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    longestWallGap = std::max(longestWallGap, sinceTick.restart());
    const double cpu = ThreadCpuMilliseconds();
    longestBusyGap = std::max(longestBusyGap, cpu - lastTickCpu);
    lastTickCpu = cpu;
  });
  QEventLoop loop;
  QObject::connect(dialog.get(), &ConverterDialog::conversionFinished, &loop, &QEventLoop::quit);
  heartbeat.start();
  sinceTick.start();
  lastTickCpu = ThreadCpuMilliseconds();
  StartConversion();
  EXPECT_TRUE(dialog->conversionRunning());
  loop.exec();
  heartbeat.stop();
  // The results, the preview among them, are shown after the last tick.
  longestBusyGap = std::max(longestBusyGap, ThreadCpuMilliseconds() - lastTickCpu);

  EXPECT_LT(longestBusyGap, 50.0);
  RecordProperty("longest_wall_gap_ms", static_cast<int>(longestWallGap));
  RecordProperty("longest_busy_gap_ms", static_cast<int>(longestBusyGap));
  ASSERT_FALSE(values.empty());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_GE(values.size(), 10u);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(QFile::exists(scratch.filePath("large.GD")));
  EXPECT_TRUE(OpenEnabled());
  EXPECT_EQ(ReportColumn(1).value(6), QString::number(1800 * 1800 * 3));
}

TEST_F(ResponsiveTest, RequestControlsWaitWhileTheButtonCancels) {
  Drop({WriteLargeBmp(scratch, "large.bmp", 1200)});
  StartConversion();
  auto* button = Find<QPushButton>("conversionButton");
  EXPECT_EQ(button->text(), "Cancel");
  for (const char* name : {"findButton", "pathEdit", "alphaCombo", "startFrameEdit",
                           "endFrameEdit", "use1555Box", "smallestBox"}) {
    EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
  }
  WaitUntilIdle();
  EXPECT_EQ(button->text(), "Conversion");
  for (const char* name : {"findButton", "pathEdit", "alphaCombo", "startFrameEdit",
                           "endFrameEdit", "use1555Box", "smallestBox"}) {
    EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
  }
}

// Cancel halfway: the old GD file, the folder, the report, "Open.." and the
// preview are as they were before the run.
TEST_F(ResponsiveTest, CancelLeavesTheFolderAndTheReportAsTheyWere) {
  Drop({CopySample("logo.bmp")});
  Click("conversionButton");
  const QStringList report = ReportColumn(1);
  ASSERT_EQ(report.size(), 9);

  const QString large = WriteLargeBmp(scratch, "large.bmp", 1800);
  QFile old(scratch.filePath("large.GD"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old");
  old.close();
  const QStringList before = FolderEntries(scratch);
  Drop({large});
  const QString preview = PreviewTitle();
  StartConversion();
  WaitForProgress(Find<QProgressBar>("progressBar")->maximum() / 5);
  ASSERT_TRUE(dialog->conversionRunning()) << "the run ended before Cancel";
  Click("conversionButton");

  EXPECT_EQ(FolderEntries(scratch), before);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), "old");
  EXPECT_EQ(ReportColumn(1), report);
  EXPECT_FALSE(OpenEnabled());
  EXPECT_EQ(PreviewTitle(), preview);
  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_EQ(Find<QPushButton>("conversionButton")->text(), "Conversion");
}

// Cancel pressed after the file was written, while the preview is read
// back, is too late: the written file is reported as usual.
TEST_F(ResponsiveTest, CancelAfterTheFileIsWrittenStillShowsIt) {
  const QString large = WriteLargeBmp(scratch, "large.bmp", 1800);
  const QString written = scratch.filePath("large.GD");
  Drop({large});
  StartConversion();
  QDeadlineTimer deadline(std::chrono::minutes(1));
  while (!QFileInfo::exists(written) && dialog->conversionRunning() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  ASSERT_TRUE(dialog->conversionRunning()) << "the run ended before Cancel";
  Click("conversionButton");

  EXPECT_TRUE(QFileInfo::exists(written));
  EXPECT_EQ(ReportColumn(1).value(0), "largeGd");
  EXPECT_TRUE(OpenEnabled());
  EXPECT_EQ(PreviewTitle(), "Decoded from _largeGd");
}

// Escape and the close box: the run is cancelled first, then the dialog
// closes as it always has.
TEST_F(ResponsiveTest, EscapeOrCloseDuringARunCancelsThenCloses) {
  const QString large = WriteLargeBmp(scratch, "large.bmp", 1800);
  const QStringList before = FolderEntries(scratch);
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "close box");
    dialog->show();
    Drop({large});
    StartConversion();
    WaitForProgress(1);
    ASSERT_TRUE(dialog->conversionRunning());
    if (escape) {
      QTest::keyClick(dialog.get(), Qt::Key_Escape);
    } else {
      EXPECT_FALSE(dialog->close());
    }
    EXPECT_TRUE(dialog->isVisible());
    WaitUntilIdle();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(FolderEntries(scratch), before);
  }
  // Shown again, a run that ends by itself leaves the dialog open.
  dialog->show();
  Drop({CopySample("logo.bmp")});
  Click("conversionButton");
  EXPECT_TRUE(dialog->isVisible());
}

// Each file's records under a row naming it, and what its reader noticed;
// the bad files are reported without a message box and without stopping
// the others; "Open.." opens the last file written; the selection stays.
TEST_F(ResponsiveTest, SeveralDroppedFilesAreConvertedInTurn) {
  const QString logo = CopySample("logo.bmp");
  const QString badge = CopySample("badge.pcx");
  const QString broken = WriteBrokenPcx(scratch);
  // A 24-bit PCX whose window is narrower than its lines: a reader notice.
  PcxSpec narrow;
  narrow.planes = 3;
  narrow.width = 33;
  narrow.pixels.assign(3 * 33, 90);
  const QString photo = WriteScratchFile(scratch, "photo.pcx", MakePcx(narrow));
  Drop({logo, broken, scratch.filePath("notes.txt"), photo, badge});

  EXPECT_TRUE(recorded.messages.empty());
  EXPECT_TRUE(QFile::exists(scratch.filePath("logo.GD")));
  EXPECT_TRUE(QFile::exists(scratch.filePath("badge.GD")));
  EXPECT_FALSE(QFile::exists(scratch.filePath("broken.GD")));
  const QStringList types = ReportColumn(0);
  const QStringList contents = ReportColumn(1);
  ASSERT_EQ(types.size(), 1 + 9 + 1 + 1 + 1 + 9 + 1 + 1 + 9);
  EXPECT_EQ(types[0], "logo.bmp");
  EXPECT_EQ(contents[0], "logo.GD");
  EXPECT_EQ(types[1], "TYPE_GrData");
  EXPECT_EQ(contents[1], "logoGd");
  EXPECT_EQ(types[10], "broken.pcx");
  EXPECT_FALSE(contents[10].isEmpty());
  EXPECT_EQ(types[11], "notes.txt");
  EXPECT_EQ(contents[11], "Please select a correct image file!");
  EXPECT_EQ(types[12], "photo.pcx");
  EXPECT_EQ(contents[12], "photo.GD");
  EXPECT_EQ(types[22], "Notice");
  EXPECT_TRUE(contents[22].startsWith("photo.pcx: 24-bit PCX")) << contents[22].toStdString();
  EXPECT_EQ(types[23], "badge.pcx");
  EXPECT_EQ(contents[24], "badgeGd");

  EXPECT_EQ(PathText(), "");
  ASSERT_TRUE(OpenEnabled());
  Click("openButton");
  ASSERT_EQ(recorded.openedFiles.size(), 1u);
  EXPECT_EQ(recorded.openedFiles[0], scratch.filePath("badge.GD"));
}

// "Open.." and the preview follow the last file written, not the last file
// dropped when that one failed.
TEST_F(ResponsiveTest, ThePreviewShowsTheLastFileWritten) {
  Drop({CopySample("badge.pcx"), CopySample("logo.bmp"), WriteBrokenPcx(scratch)});

  EXPECT_EQ(PreviewTitle(), "Decoded from _logoGd");
  Click("openButton");
  ASSERT_EQ(recorded.openedFiles.size(), 1u);
  EXPECT_EQ(recorded.openedFiles[0], scratch.filePath("logo.GD"));
}

// The worker hands the first converted frame over to the preview, which
// numbers the frames from it.
TEST_F(ResponsiveTest, ThePreviewNumbersFramesFromTheStartFrame) {
  Drop({CopySample("spin.xsp")});
  Find<QLineEdit>("startFrameEdit")->setText("2");
  Click("conversionButton");

  const auto* frame = Find<QSpinBox>("previewFrame");
  EXPECT_EQ(frame->minimum(), 2);
  EXPECT_EQ(frame->maximum(), 3);
  EXPECT_EQ(PreviewTitle(), "Decoded from _spin2Gd");
}

}  // namespace
}  // namespace krelt::test
