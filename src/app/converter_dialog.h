#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>
#include <memory>

#include "app/conversion_runner.h"
#include "app/dialog_hooks.h"
#include "convert/conversion.h"
#include "convert/output_names.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace krelt {

class PreviewPanel;

// Caption of messages that bring none of their own.
inline const QString kApplicationName = QStringLiteral("Krelt");

// The one window of Krelt: choose a picture, set the options, convert it and
// see what the GD file declares. Every conversion goes through Converter on
// a worker thread; the dialog only gathers the request, follows the
// progress and shows the results.
class ConverterDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit ConverterDialog(DialogHooks hooks = DesktopDialogHooks(),
                           QWidget* parent = nullptr);
  ~ConverterDialog() override;

  // Takes the picture as a drop would: selected when its extension is one
  // Krelt reads, otherwise the rejection message.
  void SelectPicture(const QString& path);

  // Whether a conversion is running; "Conversion" cancels it meanwhile.
  bool conversionRunning() const { return runner_->running(); }

 public slots:
  // Escape and the close box: a running conversion is cancelled first, and
  // the dialog closes once it has stopped.
  void reject() override;

 signals:
  // A conversion run has ended and its results are shown.
  void conversionFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  QGroupBox* CreateSelectionGroup();
  void CreateReportList();
  void SetTabOrder();
  void ConnectHandlers();
  void SwallowEnterKeys();

  void OnFind();
  void OnOpen();
  void OnToggle1555();
  void OnConversion();
  void StartConversion(std::vector<ConversionJob> jobs);
  void OnConversionFinished();
  void ShowFileOutcome(const FileOutcome& outcome);
  void ShowGroupedOutcomes(const std::vector<FileOutcome>& outcomes);
  void ShowWritten(const FileOutcome& outcome);
  void SetRequestControlsEnabled(bool enabled);
  void ConvertDroppedFiles(const QList<QUrl>& urls);
  ConversionRequest RequestFor(const QString& path, const OutputNames& names) const;
  void ShowHelp();
  void OnReportRowChosen(int row);
  void AcceptSelection(const QString& path);
  void DeriveNames();

  void ClearReport();
  void SetProgressRange(std::int32_t maximum);
  void SetProgressPosition(std::int32_t position);
  void EnableOpen();
  void ShowMessage(std::string_view text, std::string_view caption);
  void AppendReportRows(const std::vector<ReportRow>& rows);

  DialogHooks hooks_;
  ConversionRunner* runner_ = nullptr;
  bool closeAfterRun_ = false;  // Escape or the close box came during a run
  bool severalFiles_ = false;   // the run converts dropped files
  QIcon recordIcon_;
  QIcon fieldIcon_;

  QString sourcePath_;       // last accepted selection: what is converted
  bool use1555_ = false;     // moves with the "1555" box
  OutputNames outputNames_;  // derived from sourcePath_
  QString lastWrittenPath_;  // the GD file the last conversion wrote

  QPushButton* findButton_ = nullptr;
  QLineEdit* pathEdit_ = nullptr;
  QPushButton* conversionButton_ = nullptr;
  QComboBox* alphaCombo_ = nullptr;
  QLineEdit* startFrameEdit_ = nullptr;
  QLineEdit* endFrameEdit_ = nullptr;
  QLineEdit* outputNameEdit_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QTableWidget* reportList_ = nullptr;
  QCheckBox* use1555Box_ = nullptr;
  PreviewPanel* preview_ = nullptr;
  QCheckBox* smallestBox_ = nullptr;  // asks for the smallest streams
};

}  // namespace krelt
