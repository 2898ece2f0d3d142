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
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "app/preview_panel.h"
#include "common/utf8_path.h"
#include "convert/output_names.h"

// Q_INIT_RESOURCE must be used outside any namespace. The icons are compiled
// into a static library, so nothing would pull their registration in.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace krelt {
namespace {

const QString kTitle = QStringLiteral("Krelt 2.0.0.1");
// Qt's own file dialog matches these patterns in any letter case. "*" rather
// than "*.*" for all files: "*.*" would hide names without a dot.
const QStringList kNameFilters = {
    QStringLiteral("PCX File   (*.PCX)"), QStringLiteral("XSP File   (*.XSP)"),
    QStringLiteral("BMP File   (*.BMP)"), QStringLiteral("All Files   (*)")};
const QString kDefaultInitialName = QStringLiteral("*.PCX");
const QString kRejectedFileMessage =
    QStringLiteral("Please select a correct image file!");
const QString kHelpCaption = QStringLiteral("Krelt help");
const QString kHelpText = QStringLiteral(
    "Krelt turns a picture (BMP, PCX or an XSP sprite file) into a GD source "
    "file: C source holding each picture or frame compressed with the "
    "COMPRESS_Tfp method and a TYPE_GrData record for it.\n\n"
    "1. Choose the picture with \"Find..\" or drop it on this window. The "
    "field below the path shows the GD file that will be written next to "
    "it.\n"
    "2. Tick \"1555\" for 16-bit pixels. For a sprite file, give a start and "
    "an end frame; empty fields mean all frames. Tick \"Smallest\" for "
    "smaller arrays that the same firmware decodes; conversion then takes "
    "longer.\n"
    "3. Press \"Conversion\". The list shows every record written, and "
    "\"Open..\" opens the GD file. While it runs the button reads "
    "\"Cancel\": pressing it stops the conversion and leaves the files as "
    "they were.\n"
    "4. The preview shows the pictures decoded from the GD file: pick a "
    "frame, or choose a report row of its record, and a zoom.\n\n"
    "Dropping several pictures at once converts them one after the other "
    "with the current settings; the list shows each file's records under "
    "its name, and the preview the last file written.\n\n"
    "Escape or the close box ends Krelt, cancelling a conversion first.");
const QString kConversionText = QStringLiteral("Conversion");
const QString kCancelText = QStringLiteral("Cancel");

constexpr int kTypeColumnWidth = 180;
constexpr int kContentColumnWidth = 260;
constexpr int kVisibleReportRows = 12;
constexpr int kAlphaLevels = 16;

QIcon LoadIcon(const QString& name) {
  QIcon icon;
  for (const int size : {16, 32}) {
    icon.addFile(QStringLiteral(":/icons/%1_%2.png").arg(name).arg(size));
  }
  return icon;
}

// The core takes paths as UTF-8 on every system.
std::string LocalPath(const QString& path) { return path.toStdString(); }

QString DisplayPath(const std::filesystem::path& path) {
  return QString::fromStdString(PathToUtf8(path));
}

QLineEdit* CreateFrameEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("^[0-9]*$")), edit));
  return edit;
}

QPushButton* CreateButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
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
      runner_(new ConversionRunner(this)) {
  RegisterIconResources();
  recordIcon_ = LoadIcon(QStringLiteral("record"));
  fieldIcon_ = LoadIcon(QStringLiteral("field"));

  setWindowTitle(kTitle);
  setWindowIcon(LoadIcon(QStringLiteral("app")));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setAcceptDrops(true);

  CreateControls();
  SetTabOrder();
  ConnectHandlers();
  SwallowEnterKeys();
  findButton_->setFocus();
}

// The runner, a child, is destroyed before the widgets go: it cancels a
// running conversion and waits for it.
ConverterDialog::~ConverterDialog() { delete runner_; }

void ConverterDialog::CreateControls() {
  conversionButton_ = CreateButton(kConversionText, this);
  conversionButton_->setObjectName(QStringLiteral("conversionButton"));
  conversionButton_->setMinimumHeight(conversionButton_->sizeHint().height() *
                                      3 / 2);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);

  CreateReportList();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CreateSelectionGroup());
  layout->addWidget(conversionButton_);
  layout->addWidget(progressBar_);
  // The preview beside the report list keeps the window low enough for
  // small screens.
  preview_ = new PreviewPanel(this);
  auto* results = new QHBoxLayout;
  results->addWidget(reportList_, 1);
  results->addWidget(preview_, 1);
  layout->addLayout(results, 1);
}

QGroupBox* ConverterDialog::CreateSelectionGroup() {
  auto* group = new QGroupBox(this);

  pathEdit_ = new QLineEdit(group);
  pathEdit_->setObjectName(QStringLiteral("pathEdit"));
  findButton_ = CreateButton(QStringLiteral("Find.."), group);
  findButton_->setObjectName(QStringLiteral("findButton"));

  outputNameEdit_ = new QLineEdit(group);
  outputNameEdit_->setObjectName(QStringLiteral("outputNameEdit"));
  outputNameEdit_->setEnabled(false);
  outputNameEdit_->setFocusPolicy(Qt::NoFocus);
  openButton_ = CreateButton(QStringLiteral("Open.."), group);
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

  use1555Box_ = new QCheckBox(QStringLiteral("1555"), group);
  use1555Box_->setObjectName(QStringLiteral("use1555Box"));
  smallestBox_ = new QCheckBox(QStringLiteral("Smallest"), group);
  smallestBox_->setObjectName(QStringLiteral("smallestBox"));
  smallestBox_->setToolTip(QStringLiteral(
      "Smaller streams for the same firmware decoder; conversion takes longer"));

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
  grid->addWidget(new QLabel(QStringLiteral("alpha"), group), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("start frame"), group), 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("end frame"), group), 2, 2);
  grid->addWidget(alphaCombo_, 3, 0);
  grid->addWidget(startFrameEdit_, 3, 1);
  grid->addWidget(endFrameEdit_, 3, 2);
  grid->addWidget(use1555Box_, 3, 3);
  grid->addWidget(smallestBox_, 3, 4);
  grid->setRowMinimumHeight(2, grid->spacing());
  for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
  return group;
}

void ConverterDialog::CreateReportList() {
  reportList_ = new QTableWidget(0, 2, this);
  reportList_->setObjectName(QStringLiteral("reportList"));
  reportList_->setHorizontalHeaderLabels(
      {QStringLiteral("type"), QStringLiteral("content")});
  reportList_->setColumnWidth(0, kTypeColumnWidth);
  reportList_->setColumnWidth(1, kContentColumnWidth);
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
      kTypeColumnWidth + kContentColumnWidth + frame + scrollBar,
      header->sizeHint().height() + kVisibleReportRows * rowHeight + frame);
}

// The order the controls were laid out in the original window, kept so
// keyboard users find them where they expect.
void ConverterDialog::SetTabOrder() {
  QWidget* const order[] = {findButton_, pathEdit_,       conversionButton_,
                            alphaCombo_, startFrameEdit_, endFrameEdit_,
                            openButton_, reportList_,     use1555Box_,
                            smallestBox_};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
}

void ConverterDialog::ConnectHandlers() {
  connect(findButton_, &QPushButton::clicked, this, &ConverterDialog::OnFind);
  connect(openButton_, &QPushButton::clicked, this, &ConverterDialog::OnOpen);
  connect(conversionButton_, &QPushButton::clicked, this,
          &ConverterDialog::OnConversion);
  connect(use1555Box_, &QCheckBox::clicked, this,
          &ConverterDialog::OnToggle1555);
  connect(reportList_, &QTableWidget::currentCellChanged, this,
          [this](int row) { OnReportRowChosen(row); });
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, &ConverterDialog::ShowHelp);
  connect(runner_, &ConversionRunner::progressed, this, [this](int position, int maximum) {
    SetProgressRange(maximum);
    SetProgressPosition(position);
  });
  connect(runner_, &ConversionRunner::finished, this,
          &ConverterDialog::OnConversionFinished);
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

// Nothing is taken while a conversion runs.
void ConverterDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !conversionRunning()) event->acceptProposedAction();
}

// One file is selected, its names derived again, which also disables
// "Open..". Several are converted at once, the selection left alone.
void ConverterDialog::dropEvent(QDropEvent* event) {
  if (conversionRunning()) return;
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  if (urls.size() > 1) {
    ConvertDroppedFiles(urls);
    return;
  }
  SelectPicture(urls.isEmpty() ? QString() : urls.front().toLocalFile());
}

// Each file with the current settings, its GD file next to it; a file
// whose extension Krelt does not read is reported, not converted.
void ConverterDialog::ConvertDroppedFiles(const QList<QUrl>& urls) {
  std::vector<ConversionJob> jobs;
  for (const QUrl& url : urls) {
    const QString path = url.toLocalFile();
    ConversionJob job{path, RequestFor(path, DeriveOutputNames(LocalPath(path))), {}};
    if (!HasAcceptedExtension(LocalPath(path))) job.refusal = kRejectedFileMessage.toStdString();
    jobs.push_back(std::move(job));
  }
  StartConversion(std::move(jobs));
}

void ConverterDialog::SelectPicture(const QString& path) {
  if (HasAcceptedExtension(LocalPath(path))) {
    AcceptSelection(path);
  } else {
    hooks_.showMessage(this, kRejectedFileMessage, kApplicationName);
  }
  DeriveNames();
}

// A cancelled file dialog changes nothing: the initial name is not taken as
// a selection, so the names keep following the file that will be converted.
void ConverterDialog::OnFind() {
  QString initialName = hooks_.readProfilePath();
  if (initialName.isEmpty()) initialName = kDefaultInitialName;
  const std::optional<QString> chosen =
      hooks_.chooseFile(this, initialName, kNameFilters);
  if (!chosen) return;
  AcceptSelection(*chosen);
  DeriveNames();
}

void ConverterDialog::AcceptSelection(const QString& path) {
  sourcePath_ = path;
  pathEdit_->setText(sourcePath_);
  use1555Box_->setChecked(use1555_);
  preview_->ShowInput(PathFromUtf8(LocalPath(sourcePath_)));
}

void ConverterDialog::DeriveNames() {
  outputNames_ = DeriveOutputNames(LocalPath(sourcePath_));
  outputNameEdit_->setText(DisplayPath(outputNames_.outputPath));
  openButton_->setEnabled(false);
}

// Opens the file the last conversion wrote, which for a sprite converted from
// a later start frame is not the name shown in the output-name field.
void ConverterDialog::OnOpen() {
  if (!lastWrittenPath_.isEmpty()) hooks_.openFile(lastWrittenPath_);
}

// Every click passes here, so the flag and the box's mark move together.
void ConverterDialog::OnToggle1555() { use1555_ = !use1555_; }

ConversionRequest ConverterDialog::RequestFor(const QString& path,
                                              const OutputNames& names) const {
  ConversionRequest request;
  request.sourcePath = LocalPath(path);
  request.startFrameText = startFrameEdit_->text().toStdString();
  request.endFrameText = endFrameEdit_->text().toStdString();
  request.flag1555 = use1555_;
  request.level = smallestBox_->isChecked() ? CompressionLevel::kMax : CompressionLevel::kDefault;
  request.outputDirectory = names.outputDirectory;
  request.outputBaseName = names.outputBaseName;
  return request;
}

// During a run the button cancels it. Without a selection the conversion
// only says so, at once.
void ConverterDialog::OnConversion() {
  if (conversionRunning()) {
    runner_->Cancel();
    return;
  }
  ConversionRequest request = RequestFor(sourcePath_, outputNames_);
  if (request.sourcePath.empty()) {
    ShowMessage(kSelectFileMessage, kNoticeCaption);
    return;
  }
  StartConversion({ConversionJob{sourcePath_, std::move(request), {}}});
}

void ConverterDialog::StartConversion(std::vector<ConversionJob> jobs) {
  severalFiles_ = jobs.size() > 1;
  SetRequestControlsEnabled(false);
  conversionButton_->setText(kCancelText);
  runner_->Start(std::move(jobs));
}

// Everything that makes up a request stays as it is during a run.
void ConverterDialog::SetRequestControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           findButton_, pathEdit_, alphaCombo_, startFrameEdit_, endFrameEdit_, use1555Box_,
           smallestBox_}) {
    control->setEnabled(enabled);
  }
}

// Where every run ends, on the GUI thread. A cancelled run of one file
// leaves the report and "Open.." as they were.
void ConverterDialog::OnConversionFinished() {
  const std::vector<FileOutcome> outcomes = runner_->TakeOutcomes();
  SetRequestControlsEnabled(true);
  conversionButton_->setText(kConversionText);
  if (severalFiles_) {
    ShowGroupedOutcomes(outcomes);
  } else if (outcomes.empty() || outcomes.front().result.status.kind() == ErrorKind::kCancelled) {
    // A Cancel that came after the file was written is too late: that
    // outcome is shown like any other.
    SetProgressPosition(0);
  } else {
    ShowFileOutcome(outcomes.front());
  }
  emit conversionFinished();
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    QDialog::reject();
  }
}

// A failure as a message, else the records written, then what the
// picture's reader noticed.
void ConverterDialog::ShowFileOutcome(const FileOutcome& outcome) {
  const ConversionResult& result = outcome.result;
  ClearReport();
  if (!result.status.ok()) {
    ShowMessage(result.status.message(), {});
    return;
  }
  AppendReportRows(result.report);
  EnableOpen();
  ShowWritten(outcome);
  for (const std::string& notice : result.notices) ShowMessage(notice, kNoticeCaption);
}

// A row naming each file, with its failure if it has one, then its
// records and what its reader noticed. Neither failures nor notices show a
// message box, so the run needs nobody.
void ConverterDialog::ShowGroupedOutcomes(const std::vector<FileOutcome>& outcomes) {
  ClearReport();
  for (const FileOutcome& outcome : outcomes) {
    const ConversionResult& result = outcome.result;
    const std::string name = PathToUtf8(PathFromUtf8(LocalPath(outcome.path)).filename());
    const std::string written = PathToUtf8(result.writtenPath.filename());
    AppendReportRows({{name, result.status.ok() ? written : result.status.message()}});
    AppendReportRows(result.report);
    for (const std::string& notice : result.notices) {
      AppendReportRows({{std::string(kNoticeCaption), notice}});
    }
  }
  const auto written =
      std::find_if(outcomes.rbegin(), outcomes.rend(), [](const FileOutcome& outcome) {
        return !outcome.result.writtenPath.empty();
      });
  if (written != outcomes.rend()) {
    EnableOpen();
    ShowWritten(*written);
  }
}

// "Open.." follows the GD file written last, and so does the preview,
// unless the run was cancelled.
void ConverterDialog::ShowWritten(const FileOutcome& outcome) {
  lastWrittenPath_ = DisplayPath(outcome.result.writtenPath);
  // The outcome is shown once, so the preview takes what was read back.
  if (outcome.preview != nullptr) preview_->ShowConverted(std::move(*outcome.preview));
}

void ConverterDialog::reject() {
  if (!conversionRunning()) {
    QDialog::reject();
    return;
  }
  closeAfterRun_ = true;
  runner_->Cancel();
}

void ConverterDialog::ShowHelp() {
  hooks_.showMessage(this, kHelpText, kHelpCaption);
}

// A row of a record, or of one of its fields, shows that record.
void ConverterDialog::OnReportRowChosen(int row) {
  for (; row >= 0; --row) {
    const QTableWidgetItem* content = reportList_->item(row, 1);
    if (content != nullptr && content->text().endsWith(QStringLiteral("Gd"))) {
      preview_->ShowRecord(content->text());
      return;
    }
  }
}

void ConverterDialog::ClearReport() { reportList_->setRowCount(0); }

// A range of 0 to 0 would turn the bar into a busy indicator.
void ConverterDialog::SetProgressRange(std::int32_t maximum) {
  progressBar_->setRange(0, std::max(maximum, 1));
}

void ConverterDialog::SetProgressPosition(std::int32_t position) {
  progressBar_->setValue(position);
}

void ConverterDialog::EnableOpen() { openButton_->setEnabled(true); }

// An empty caption shows the application's name.
void ConverterDialog::ShowMessage(std::string_view text, std::string_view caption) {
  const auto toQString = [](std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
  };
  hooks_.showMessage(this, toQString(text),
                     caption.empty() ? kApplicationName : toQString(caption));
}

void ConverterDialog::AppendReportRows(const std::vector<ReportRow>& rows) {
  const int first = reportList_->rowCount();
  reportList_->setRowCount(first + static_cast<int>(rows.size()));
  for (int row = first; row < reportList_->rowCount(); ++row) {
    const ReportRow& source = rows[static_cast<std::size_t>(row - first)];
    auto* type = new QTableWidgetItem(QString::fromStdString(source.type));
    if (source.icon == ReportIcon::kRecord) type->setIcon(recordIcon_);
    if (source.icon == ReportIcon::kField) type->setIcon(fieldIcon_);
    reportList_->setItem(row, 0, type);
    reportList_->setItem(
        row, 1, new QTableWidgetItem(QString::fromStdString(source.content)));
  }
}

}  // namespace krelt
