#include "app/converter_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "app/preview_panel.h"
#include "app/qt_text.h"
#include "common/utf8_path.h"
#include "front/dialog_texts.h"
#include "palette/colour_reduction.h"

// Q_INIT_RESOURCE must be used outside any namespace. The icons are compiled
// into a static library, so nothing would pull their registration in.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace krelt {
namespace {

constexpr int kVisibleReportRows = 12;

QIcon LoadIcon(const QString& name) {
  QIcon icon;
  for (const int size : {16, 32}) {
    icon.addFile(QStringLiteral(":/icons/%1_%2.png").arg(name).arg(size));
  }
  return icon;
}

// Paths travel as UTF-8 on every system.
std::string Utf8(const QString& text) { return text.toStdString(); }

// A frame field takes what the model calls frame text.
class FrameTextValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    return IsFrameText(Utf8(input)) ? Acceptable : Invalid;
  }
};

QLineEdit* CreateFrameEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  edit->setValidator(new FrameTextValidator(edit));
  return edit;
}

QPushButton* CreateButton(std::string_view text, QWidget* parent) {
  auto* button = new QPushButton(ToQString(text), parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

ConverterDialog::ConverterDialog(DialogHooks hooks, QWidget* parent)
    : QDialog(parent),
      hooks_(std::move(hooks)),
      model_(std::make_unique<DialogModel>(
          static_cast<DialogView&>(*this), [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
          })) {
  RegisterIconResources();
  recordIcon_ = LoadIcon(QStringLiteral("record"));
  fieldIcon_ = LoadIcon(QStringLiteral("field"));

  setWindowTitle(ToQString(kDialogTitle));
  setWindowIcon(LoadIcon(QStringLiteral("app")));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setAcceptDrops(true);

  CreateControls();
  SetTabOrder();
  ConnectHandlers();
  ShowColourChoice(model_->colourChoice());
  SwallowEnterKeys();
  findButton_->setFocus();
}

// The model goes before the widgets: it cancels a running conversion and
// waits for its threads. Widgets may still send signals as they go; none
// reaches the model after it.
ConverterDialog::~ConverterDialog() {
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
  model_.reset();
}

void ConverterDialog::CreateControls() {
  conversionButton_ = CreateButton(model_->runControls().conversionText, this);
  conversionButton_->setObjectName(QStringLiteral("conversionButton"));
  conversionButton_->setMinimumHeight(conversionButton_->sizeHint().height() *
                                      3 / 2);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setTextVisible(false);
  ShowProgress(model_->progress());

  CreateReportList();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CreateSelectionGroup());
  layout->addWidget(conversionButton_);
  layout->addWidget(progressBar_);
  // The preview beside the report list keeps the window low enough for
  // small screens.
  preview_ = new PreviewPanel(this);
  preview_->Show(model_->preview().screen());
  auto* results = new QHBoxLayout;
  results->addWidget(reportList_, 1);
  results->addWidget(preview_, 1);
  layout->addLayout(results, 1);
}

QGroupBox* ConverterDialog::CreateSelectionGroup() {
  auto* group = new QGroupBox(this);

  pathEdit_ = new QLineEdit(group);
  pathEdit_->setObjectName(QStringLiteral("pathEdit"));
  findButton_ = CreateButton(kFindText, group);
  findButton_->setObjectName(QStringLiteral("findButton"));

  outputNameEdit_ = new QLineEdit(group);
  outputNameEdit_->setObjectName(QStringLiteral("outputNameEdit"));
  outputNameEdit_->setEnabled(false);
  outputNameEdit_->setFocusPolicy(Qt::NoFocus);
  openButton_ = CreateButton(kOpenText, group);
  openButton_->setObjectName(QStringLiteral("openButton"));
  openButton_->setEnabled(false);

  alphaCombo_ = new QComboBox(group);
  alphaCombo_->setObjectName(QStringLiteral("alphaCombo"));
  for (int level = 0; level < kAlphaLevels; ++level) {
    alphaCombo_->addItem(QString::number(level));
  }
  alphaCombo_->setCurrentIndex(-1);

  startFrameEdit_ = CreateFrameEdit(group);
  startFrameEdit_->setObjectName(QStringLiteral("startFrameEdit"));
  endFrameEdit_ = CreateFrameEdit(group);
  endFrameEdit_->setObjectName(QStringLiteral("endFrameEdit"));

  use1555Box_ = new QCheckBox(ToQString(k1555Text), group);
  use1555Box_->setObjectName(QStringLiteral("use1555Box"));
  smallestBox_ = new QCheckBox(ToQString(kSmallestText), group);
  smallestBox_->setObjectName(QStringLiteral("smallestBox"));
  smallestBox_->setToolTip(ToQString(kSmallestTip));

  colourModeCombo_ = new QComboBox(group);
  colourModeCombo_->setObjectName(QStringLiteral("colourModeCombo"));
  for (const std::string_view text : kColourModeTexts) colourModeCombo_->addItem(ToQString(text));
  colourModeCombo_->setToolTip(ToQString(kColoursTip));
  colourTableLabel_ = new QLabel(group);
  colourTableLabel_->setObjectName(QStringLiteral("colourTableLabel"));
  colourCountSpin_ = new QSpinBox(group);
  colourCountSpin_->setObjectName(QStringLiteral("colourCountSpin"));
  colourCountSpin_->setRange(kMinReducedColours, static_cast<int>(kMaxTableColours));
  colourCountSpin_->setPrefix(ToQString(kColourCountLabel) + QStringLiteral(" "));
  ditheringBox_ = new QCheckBox(ToQString(kDitheringText), group);
  ditheringBox_->setObjectName(QStringLiteral("ditheringBox"));

  // Dropped files go to the dialog, never into a text field.
  for (QLineEdit* edit :
       {pathEdit_, outputNameEdit_, startFrameEdit_, endFrameEdit_}) {
    edit->setAcceptDrops(false);
  }

  auto* grid = new QGridLayout(group);
  grid->addWidget(pathEdit_, 0, 0, 1, 3);
  grid->addWidget(findButton_, 0, 3);
  grid->addWidget(outputNameEdit_, 1, 0, 1, 3);
  grid->addWidget(openButton_, 1, 3);
  grid->addWidget(new QLabel(ToQString(kAlphaLabel), group), 2, 0);
  grid->addWidget(new QLabel(ToQString(kStartFrameLabel), group), 2, 1);
  grid->addWidget(new QLabel(ToQString(kEndFrameLabel), group), 2, 2);
  grid->addWidget(alphaCombo_, 3, 0);
  grid->addWidget(startFrameEdit_, 3, 1);
  grid->addWidget(endFrameEdit_, 3, 2);
  grid->addWidget(use1555Box_, 3, 3);
  grid->addWidget(smallestBox_, 3, 4);
  grid->addWidget(new QLabel(ToQString(kColoursLabel), group), 4, 0);
  grid->addWidget(colourModeCombo_, 5, 0);
  grid->addWidget(colourTableLabel_, 5, 1);
  grid->addWidget(colourCountSpin_, 5, 2);
  grid->addWidget(ditheringBox_, 5, 3);
  grid->setRowMinimumHeight(2, grid->spacing());
  for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
  return group;
}

void ConverterDialog::CreateReportList() {
  reportList_ = new QTableWidget(0, static_cast<int>(std::size(kReportColumns)), this);
  reportList_->setObjectName(QStringLiteral("reportList"));
  int columnsWidth = 0;
  for (int column = 0; const ReportColumn& shown : kReportColumns) {
    reportList_->setHorizontalHeaderItem(column, new QTableWidgetItem(ToQString(shown.title)));
    reportList_->setColumnWidth(column++, shown.width);
    columnsWidth += shown.width;
  }
  reportList_->setShowGrid(true);
  reportList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  reportList_->setSelectionMode(QAbstractItemView::SingleSelection);
  reportList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  reportList_->setWordWrap(false);
  reportList_->setIconSize(QSize(16, 16));
  reportList_->verticalHeader()->hide();
  QHeaderView* header = reportList_->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);

  const int rowHeight = std::max(fontMetrics().height(), 16) + 4;
  reportList_->verticalHeader()->setDefaultSectionSize(rowHeight);
  const int frame = 2 * reportList_->frameWidth();
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  reportList_->setMinimumSize(
      columnsWidth + frame + scrollBar,
      header->sizeHint().height() + kVisibleReportRows * rowHeight + frame);
}

// The order the controls were laid out in the original window, kept so
// keyboard users find them where they expect.
void ConverterDialog::SetTabOrder() {
  QWidget* const order[] = {findButton_, pathEdit_,       conversionButton_,
                            alphaCombo_, startFrameEdit_, endFrameEdit_,
                            openButton_, reportList_,     use1555Box_,
                            smallestBox_, colourModeCombo_, colourCountSpin_,
                            ditheringBox_};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
}

void ConverterDialog::ConnectHandlers() {
  DialogModel& model = *model_;
  connect(findButton_, &QPushButton::clicked, this, [&model] { model.Find(); });
  connect(openButton_, &QPushButton::clicked, this, [&model] { model.Open(); });
  connect(conversionButton_, &QPushButton::clicked, this,
          [&model] { model.PressConversion(); });
  connect(use1555Box_, &QCheckBox::clicked, this, [&model] { model.Toggle1555(); });
  connect(smallestBox_, &QCheckBox::toggled, this,
          [&model](bool checked) { model.SetSmallest(checked); });
  // Choosing "map to a table.." again chooses another table.
  connect(colourModeCombo_, &QComboBox::activated, this, [&model](int index) {
    const auto mode = static_cast<ColourMode>(index);
    if (mode == ColourMode::kMapToTable && model.colourChoice().mode == mode) {
      model.ChooseColourTable();
    } else {
      model.SetColourMode(mode);
    }
  });
  connect(colourCountSpin_, &QSpinBox::valueChanged, this,
          [&model](int colours) { model.SetColourCount(colours); });
  connect(ditheringBox_, &QCheckBox::toggled, this,
          [&model](bool checked) { model.SetDithering(checked); });
  connect(startFrameEdit_, &QLineEdit::textChanged, this,
          [&model](const QString& text) { model.SetStartFrameText(Utf8(text)); });
  connect(endFrameEdit_, &QLineEdit::textChanged, this,
          [&model](const QString& text) { model.SetEndFrameText(Utf8(text)); });
  connect(reportList_, &QTableWidget::currentCellChanged, this,
          [&model](int row) { model.ChooseRow(row); });
  connect(preview_, &PreviewPanel::frameChosen, this,
          [&model](int frame) { model.preview().ShowFrame(frame); });
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [&model] { model.ShowHelp(); });
}

// Enter never presses a button or closes the window, whichever control has
// the focus. Pop-ups (the alpha list) are other windows and keep Enter.
void ConverterDialog::SwallowEnterKeys() {
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) {
    child->installEventFilter(this);
  }
}

bool ConverterDialog::eventFilter(QObject* watched, QEvent* event) {
  if (IsEnterKey(event)) {
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) return true;
  }
  return QDialog::eventFilter(watched, event);
}

void ConverterDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && model_->AcceptsDrop()) event->acceptProposedAction();
}

void ConverterDialog::dropEvent(QDropEvent* event) {
  if (!model_->AcceptsDrop()) return;
  event->acceptProposedAction();
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) paths.push_back(Utf8(url.toLocalFile()));
  model_->Drop(paths);
}

void ConverterDialog::SelectPicture(const QString& path) { model_->SelectPicture(Utf8(path)); }

void ConverterDialog::reject() { model_->RequestClose(); }

std::string ConverterDialog::ReadProfilePath() { return Utf8(hooks_.readProfilePath()); }

std::optional<std::string> ConverterDialog::ChooseFile(
    std::string_view initialName, std::span<const std::string_view> filters) {
  QStringList nameFilters;
  for (const std::string_view filter : filters) nameFilters.append(ToQString(filter));
  const std::optional<QString> chosen =
      hooks_.chooseFile(this, ToQString(initialName), nameFilters);
  if (!chosen) return std::nullopt;
  return Utf8(*chosen);
}

void ConverterDialog::OpenFile(const std::string& path) { hooks_.openFile(ToQString(path)); }

void ConverterDialog::ShowMessage(const Message& message) {
  hooks_.showMessage(this, ToQString(message.text), ToQString(message.caption));
}

void ConverterDialog::ShowSelection(const std::string& path, bool use1555) {
  pathEdit_->setText(ToQString(path));
  use1555Box_->setChecked(use1555);
}

void ConverterDialog::ShowOutputName(const std::string& outputName) {
  outputNameEdit_->setText(ToQString(outputName));
}

void ConverterDialog::EnableOpen(bool enabled) { openButton_->setEnabled(enabled); }

void ConverterDialog::ShowRunControls(const RunControls& controls) {
  conversionButton_->setText(ToQString(controls.conversionText));
  for (QWidget* control : std::initializer_list<QWidget*>{
           findButton_, pathEdit_, alphaCombo_, startFrameEdit_, endFrameEdit_, use1555Box_,
           smallestBox_, colourModeCombo_}) {
    control->setEnabled(controls.requestControlsEnabled);
  }
  requestControlsEnabled_ = controls.requestControlsEnabled;
  ShowColourChoice(model_->colourChoice());
  if (!conversionRunning()) emit conversionFinished();
}

// The count and the dithering box apply to a reduction and a table only.
void ConverterDialog::ShowColourChoice(const ColourChoice& choice) {
  const QSignalBlocker blockMode(colourModeCombo_);
  const QSignalBlocker blockCount(colourCountSpin_);
  const QSignalBlocker blockDithering(ditheringBox_);
  colourModeCombo_->setCurrentIndex(static_cast<int>(choice.mode));
  const QString table = ToQString(PathToUtf8(PathFromUtf8(choice.tablePath).filename()));
  colourTableLabel_->setText(choice.mode == ColourMode::kMapToTable ? table : QString());
  colourTableLabel_->setToolTip(ToQString(choice.tablePath));
  colourCountSpin_->setValue(choice.colours);
  colourCountSpin_->setEnabled(requestControlsEnabled_ && choice.mode == ColourMode::kReduce);
  ditheringBox_->setChecked(choice.dithering);
  ditheringBox_->setEnabled(requestControlsEnabled_ && choice.mode != ColourMode::kAsPicture);
}

void ConverterDialog::ShowProgress(const RunProgress& progress) {
  progressBar_->setRange(0, progress.maximum);
  progressBar_->setValue(progress.position);
}

void ConverterDialog::ShowReport(const std::vector<ShownRow>& rows) {
  reportList_->setRowCount(0);
  reportList_->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; const ShownRow& shown : rows) {
    auto* type = new QTableWidgetItem(ToQString(shown.type));
    if (shown.icon == ReportIcon::kRecord) type->setIcon(recordIcon_);
    if (shown.icon == ReportIcon::kField) type->setIcon(fieldIcon_);
    reportList_->setItem(row, 0, type);
    reportList_->setItem(row++, 1, new QTableWidgetItem(ToQString(shown.content)));
  }
}

void ConverterDialog::CloseWindow() { QDialog::reject(); }

void ConverterDialog::ShowPreview(const PreviewScreen& screen) { preview_->Show(screen); }

}  // namespace krelt
