#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_hooks.h"
#include "front/dialog_model.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace krelt {

class PreviewPanel;

// The one window of Krelt, a Qt view of DialogModel: it lays out the
// controls, hands what the user does to the model and shows what the model
// tells it. Calls from the model's threads come to the GUI thread as
// queued calls.
class ConverterDialog final : public QDialog, private DialogView {
  Q_OBJECT

 public:
  explicit ConverterDialog(DialogHooks hooks = DesktopDialogHooks(),
                           QWidget* parent = nullptr);
  ~ConverterDialog() override;

  // Takes the picture as a drop of one file would.
  void SelectPicture(const QString& path);

  // Whether a conversion is running; "Conversion" cancels it meanwhile.
  bool conversionRunning() const { return model_->runState() != RunState::kIdle; }
  // Whether the preview is still reading or decoding a picture.
  bool previewDecoding() const { return model_->preview().decoding(); }

 public slots:
  // Escape and the close box: a running conversion is cancelled first, and
  // the dialog closes once it has stopped.
  void reject() override;

 signals:
  // A conversion run has ended; its results are shown before control
  // returns to the event loop.
  void conversionFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // DialogView.
  std::string ReadProfilePath() override;
  std::optional<std::string> ChooseFile(std::string_view initialName,
                                        std::span<const std::string_view> filters) override;
  void OpenFile(const std::string& path) override;
  void ShowMessage(const Message& message) override;
  void ShowSelection(const std::string& path, bool use1555) override;
  void ShowOutputName(const std::string& outputName) override;
  void EnableOpen(bool enabled) override;
  void ShowRunControls(const RunControls& controls) override;
  void ShowColourChoice(const ColourChoice& choice) override;
  void ShowProgress(const RunProgress& progress) override;
  void ShowReport(const std::vector<ShownRow>& rows) override;
  void CloseWindow() override;
  void ShowPreview(const PreviewScreen& screen) override;

  void CreateControls();
  QGroupBox* CreateSelectionGroup();
  void CreateReportList();
  void SetTabOrder();
  void ConnectHandlers();
  void SwallowEnterKeys();

  DialogHooks hooks_;
  std::unique_ptr<DialogModel> model_;
  QIcon recordIcon_;
  QIcon fieldIcon_;

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
  QCheckBox* smallestBox_ = nullptr;
  QComboBox* colourModeCombo_ = nullptr;
  QLabel* colourTableLabel_ = nullptr;
  QSpinBox* colourCountSpin_ = nullptr;
  QCheckBox* ditheringBox_ = nullptr;
  bool requestControlsEnabled_ = true;
};

}  // namespace krelt
