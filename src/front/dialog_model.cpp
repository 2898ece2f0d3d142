#include "front/dialog_model.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "common/utf8_path.h"
#include "convert/output_names.h"
#include "front/dialog_texts.h"
#include "palette/colour_reduction.h"

namespace krelt {
namespace {

RowKind KindOf(const ReportRow& row) {
  switch (row.icon) {
    case ReportIcon::kRecord:
      return row.record >= 0 ? RowKind::kRecordHeader : RowKind::kPointerTable;
    case ReportIcon::kField:
      return RowKind::kField;
    case ReportIcon::kNone:
      break;
  }
  return row.record >= 0 ? RowKind::kPointer : RowKind::kBlank;
}

void AppendReport(const std::vector<ReportRow>& report, std::int32_t file,
                  std::vector<ShownRow>& rows) {
  for (const ReportRow& row : report) {
    rows.push_back({row.type, row.content, KindOf(row), row.icon, file, row.record});
  }
}

std::string FileName(const std::string& path) {
  return PathToUtf8(PathFromUtf8(path).filename());
}

}  // namespace

bool IsFrameText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Message MessageWithCaption(std::string_view text, std::string_view caption) {
  return {std::string(text), std::string(caption.empty() ? kApplicationName : caption)};
}

DialogModel::DialogModel(DialogView& view, PostToGui post)
    : view_(view),
      post_(std::move(post)),
      preview_(view, post_),
      worker_(
          [this](RunProgress progress) { post_([this, progress] { OnProgress(progress); }); },
          [this](std::vector<FileOutcome> outcomes) {
            auto shared = std::make_shared<std::vector<FileOutcome>>(std::move(outcomes));
            post_([this, shared] { OnRunFinished(std::move(*shared)); });
          }) {}

RunControls DialogModel::runControls() const {
  const bool idle = runState_ == RunState::kIdle;
  return {idle ? kConversionText : kCancelText, idle};
}

void DialogModel::SelectPicture(const std::string& path) {
  if (HasAcceptedExtension(path)) {
    Accept(path);
  } else {
    view_.ShowMessage(MessageWithCaption(kRejectedFileMessage));
  }
  ShowOutputName();
}

// A file whose extension Krelt does not read is reported, not converted.
void DialogModel::Drop(const std::vector<std::string>& paths) {
  if (!AcceptsDrop()) return;
  if (paths.size() <= 1) {
    SelectPicture(paths.empty() ? std::string() : paths.front());
    return;
  }
  std::vector<ConversionJob> jobs;
  for (const std::string& path : paths) {
    jobs.push_back({path, RequestFor(path),
                    HasAcceptedExtension(path) ? std::string() : std::string(kRejectedFileMessage)});
  }
  StartRun(std::move(jobs));
}

// The initial name is not taken as a selection, so the names keep
// following the file that will be converted.
void DialogModel::Find() {
  std::string initialName = view_.ReadProfilePath();
  if (initialName.empty()) initialName = kDefaultInitialName;
  const std::optional<std::string> chosen = view_.ChooseFile(initialName, kFileFilters);
  if (!chosen) return;
  Accept(*chosen);
  ShowOutputName();
}

void DialogModel::Toggle1555() {
  use1555_ = !use1555_;
  if (use1555_ && colours_.mode != ColourMode::kAsPicture) {
    colours_.mode = ColourMode::kAsPicture;
    ShowColours();
  }
}

void DialogModel::SetColourMode(ColourMode mode) {
  if (mode == ColourMode::kMapToTable && colours_.tablePath.empty()) {
    ChooseColourTable();
    return;
  }
  colours_.mode = mode;
  if (mode != ColourMode::kAsPicture && use1555_) {
    use1555_ = false;
    view_.ShowSelection(sourcePath_, use1555_);
  }
  ShowColours();
}

void DialogModel::ChooseColourTable() {
  const std::string initialName =
      colours_.tablePath.empty() ? std::string(kDefaultTableName) : colours_.tablePath;
  const std::optional<std::string> chosen = view_.ChooseFile(initialName, kTableFilters);
  if (!chosen) {
    ShowColours();  // the view may have moved its control already
    return;
  }
  colours_.tablePath = *chosen;
  SetColourMode(ColourMode::kMapToTable);
}

void DialogModel::SetColourCount(std::int32_t colours) {
  colours_.colours = std::clamp<std::int32_t>(colours, kMinReducedColours,
                                              static_cast<std::int32_t>(kMaxTableColours));
  ShowColours();
}

void DialogModel::SetDithering(bool dithering) {
  colours_.dithering = dithering;
  ShowColours();
}

void DialogModel::ShowColours() { view_.ShowColourChoice(colours_); }

void DialogModel::PressConversion() {
  if (runState_ != RunState::kIdle) {
    Cancel();
    return;
  }
  if (sourcePath_.empty()) {
    view_.ShowMessage(MessageWithCaption(kSelectFileMessage, kNoticeCaption));
    return;
  }
  StartRun({{sourcePath_, RequestFor(sourcePath_), {}}});
}

void DialogModel::Open() {
  if (!lastWrittenPath_.empty()) view_.OpenFile(lastWrittenPath_);
}

void DialogModel::ShowHelp() { view_.ShowMessage({std::string(kHelpText), std::string(kHelpCaption)}); }

void DialogModel::ChooseRow(std::int32_t row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  const ShownRow& chosen = rows_[static_cast<std::size_t>(row)];
  if (chosen.record >= 0 && chosen.file == previewedFile_) preview_.ShowRecord(chosen.record);
}

void DialogModel::RequestClose() {
  if (runState_ == RunState::kIdle) {
    view_.CloseWindow();
    return;
  }
  closeAfterRun_ = true;
  Cancel();
}

ConversionRequest DialogModel::RequestFor(const std::string& path) const {
  const OutputNames names = DeriveOutputNames(path);
  ConversionRequest request;
  request.sourcePath = path;
  request.startFrameText = startFrameText_;
  request.endFrameText = endFrameText_;
  request.flag1555 = use1555_;
  request.level = smallest_ ? CompressionLevel::kMax : CompressionLevel::kDefault;
  request.colours.mode = colours_.mode;
  request.colours.tablePath = colours_.tablePath;
  request.colours.colours = colours_.colours;
  request.colours.mapping.dithering =
      colours_.dithering ? Dithering::kDiffusion : Dithering::kNone;
  request.outputDirectory = names.outputDirectory;
  request.outputBaseName = names.outputBaseName;
  return request;
}

void DialogModel::Accept(const std::string& path) {
  sourcePath_ = path;
  view_.ShowSelection(sourcePath_, use1555_);
  preview_.ShowInput(sourcePath_);
}

void DialogModel::ShowOutputName() {
  view_.ShowOutputName(PathToUtf8(DeriveOutputNames(sourcePath_).outputPath));
  view_.EnableOpen(false);
}

void DialogModel::StartRun(std::vector<ConversionJob> jobs) {
  severalFiles_ = jobs.size() > 1;
  ShowRunState(RunState::kRunning);
  worker_.Start(std::move(jobs));
}

void DialogModel::Cancel() {
  if (runState_ != RunState::kRunning) return;
  worker_.Cancel();
  ShowRunState(RunState::kCancelling);
}

void DialogModel::ShowRunState(RunState state) {
  runState_ = state;
  view_.ShowRunControls(runControls());
}

void DialogModel::OnProgress(RunProgress progress) {
  progress_ = progress;
  view_.ShowProgress(progress_);
}

// A cancelled run of one file leaves the report, "Open.." and the preview
// as they were; a Cancel that came after the file was written is too late,
// and that outcome is shown like any other.
void DialogModel::OnRunFinished(std::vector<FileOutcome> outcomes) {
  ShowRunState(RunState::kIdle);
  if (severalFiles_) {
    ShowGroupedOutcomes(outcomes);
  } else if (outcomes.empty() || outcomes.front().result.status.kind() == ErrorKind::kCancelled) {
    progress_.position = 0;
    view_.ShowProgress(progress_);
  } else {
    ShowFileOutcome(outcomes.front());
  }
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    view_.CloseWindow();
  }
}

// A failure as a message, else the records written, then what the
// picture's reader noticed.
void DialogModel::ShowFileOutcome(const FileOutcome& outcome) {
  const ConversionResult& result = outcome.result;
  if (!result.status.ok()) {
    ShowRows({});
    view_.ShowMessage(MessageWithCaption(result.status.message()));
    return;
  }
  std::vector<ShownRow> rows;
  AppendReport(result.report, 0, rows);
  ShowRows(std::move(rows));
  ShowWritten(outcome, 0);
  for (const std::string& notice : result.notices) {
    view_.ShowMessage(MessageWithCaption(notice, kNoticeCaption));
  }
}

// A row naming each file, with its failure if it has one, then its
// records and what its reader noticed. Neither failures nor notices show a
// message, so the run needs nobody.
void DialogModel::ShowGroupedOutcomes(const std::vector<FileOutcome>& outcomes) {
  std::vector<ShownRow> rows;
  for (std::size_t index = 0; index < outcomes.size(); ++index) {
    const ConversionResult& result = outcomes[index].result;
    const auto file = static_cast<std::int32_t>(index);
    rows.push_back({FileName(outcomes[index].path),
                    result.status.ok() ? PathToUtf8(result.writtenPath.filename())
                                       : result.status.message(),
                    RowKind::kFileHeader, ReportIcon::kNone, file, -1});
    AppendReport(result.report, file, rows);
    for (const std::string& notice : result.notices) {
      rows.push_back({std::string(kNoticeCaption), notice, RowKind::kNotice, ReportIcon::kNone,
                      file, -1});
    }
  }
  ShowRows(std::move(rows));
  for (std::size_t index = outcomes.size(); index-- > 0;) {
    if (outcomes[index].result.writtenPath.empty()) continue;
    ShowWritten(outcomes[index], static_cast<std::int32_t>(index));
    return;
  }
}

void DialogModel::ShowRows(std::vector<ShownRow> rows) {
  rows_ = std::move(rows);
  previewedFile_ = -1;
  view_.ShowReport(rows_);
}

// "Open.." follows the GD file written last, and so does the preview,
// unless the run was cancelled.
void DialogModel::ShowWritten(const FileOutcome& outcome, std::int32_t file) {
  lastWrittenPath_ = PathToUtf8(outcome.result.writtenPath);
  view_.EnableOpen(true);
  if (outcome.preview == nullptr) return;
  preview_.ShowConverted(outcome.preview);
  previewedFile_ = file;
}

}  // namespace krelt
