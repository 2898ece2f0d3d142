#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "front/conversion_worker.h"
#include "front/preview_model.h"
#include "front/work_thread.h"
#include "gd/report.h"

namespace krelt {

// Where the conversion is: none running, one running, or one told to stop
// that has not stopped yet.
enum class RunState { kIdle, kRunning, kCancelling };

// What the run state makes of the controls.
struct RunControls {
  std::string_view conversionText;  // "Conversion", or "Cancel" during a run
  // Find.., the path, the alpha list, the frame fields, 1555 and Smallest:
  // everything that makes up a request stays as it is during a run.
  bool requestControlsEnabled = true;

  bool operator==(const RunControls&) const = default;
};

// A modal message with an OK button.
struct Message {
  std::string text;
  std::string caption;

  bool operator==(const Message&) const = default;
};

// What a row of the report list is.
enum class RowKind {
  kFileHeader,    // several files: the file's name and its GD file or failure
  kRecordHeader,  // a record's TYPE_GrData row
  kField,         // a field of the record above
  kPointerTable,  // the pointer table's own row
  kPointer,       // an entry of the pointer table
  kBlank,
  kNotice,        // several files: what the file's reader noticed
};

struct ShownRow {
  std::string type;
  std::string content;
  RowKind kind = RowKind::kBlank;
  ReportIcon icon = ReportIcon::kNone;
  std::int32_t file = -1;    // the file of the run the row belongs to
  std::int32_t record = -1;  // the record of that file the row shows or points to

  bool operator==(const ShownRow&) const = default;
};

// The colours control: the picture's own indices and colours, palette
// indices of a colour table file, or of a table of at most `colours`
// colours built from the picture (dithered or not).
struct ColourChoice {
  ColourMode mode = ColourMode::kAsPicture;
  std::string tablePath;  // the table chosen last, kept when the mode changes
  std::int32_t colours = 256;
  bool dithering = false;

  bool operator==(const ColourChoice&) const = default;
};

// A front end of the dialog. The model calls it on the GUI thread only.
class DialogView : public PreviewView {
 public:
  // The desktop.
  // The PATH value of group KRELT in the user's profile, "" when missing.
  virtual std::string ReadProfilePath() = 0;
  // Runs the open-file dialog with that initial name and filters, the
  // first active; the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseFile(
      std::string_view initialName, std::span<const std::string_view> filters) = 0;
  // Hands a file to the desktop's "open" action.
  virtual void OpenFile(const std::string& path) = 0;
  // Shows the message and waits until it is dismissed.
  virtual void ShowMessage(const Message& message) = 0;

  // The window.
  // An accepted selection: the path field shows it, the 1555 box its mark.
  virtual void ShowSelection(const std::string& path, bool use1555) = 0;
  virtual void ShowOutputName(const std::string& outputName) = 0;
  virtual void EnableOpen(bool enabled) = 0;
  virtual void ShowRunControls(const RunControls& controls) = 0;
  // The colours control's mode, table file, colour count and dithering.
  virtual void ShowColourChoice(const ColourChoice& choice) = 0;
  virtual void ShowProgress(const RunProgress& progress) = 0;
  // Replaces every row of the report list.
  virtual void ShowReport(const std::vector<ShownRow>& rows) = 0;
  // Ends the dialog as cancelled.
  virtual void CloseWindow() = 0;

 protected:
  ~DialogView() = default;
};

// Whether a frame field takes the text: digits only; empty means all frames.
bool IsFrameText(std::string_view text);

// The message with the application's name as caption when it has none.
Message MessageWithCaption(std::string_view text, std::string_view caption = {});

// The dialog as the user works it, without a toolkit: what is selected and
// the GD file that gives, the fields of the request, the run of
// conversions on a worker thread, the report rows, the messages and the
// preview. A front end forwards what the user does to the operations below
// and shows what the model tells its DialogView. Every operation runs on
// the front end's GUI thread; work on other threads comes back through
// PostToGui.
class DialogModel {
 public:
  DialogModel(DialogView& view, PostToGui post);

  RunState runState() const { return runState_; }
  RunControls runControls() const;
  RunProgress progress() const { return progress_; }
  const std::vector<ShownRow>& rows() const { return rows_; }
  PreviewModel& preview() { return preview_; }
  // Whether a drop is taken now: not during a run.
  bool AcceptsDrop() const { return runState_ == RunState::kIdle; }

  // A picture named at start (`krelt PICTURE`) or dropped alone: selected
  // when its extension is one Krelt reads, else the rejection message.
  // Either way the output name is derived again and "Open.." disabled.
  void SelectPicture(const std::string& path);
  // Dropped files: one is selected, several converted in turn with the
  // current fields, each next to its picture, the selection left alone.
  void Drop(const std::vector<std::string>& paths);
  // "Find..": any file the file dialog gives is selected; cancelling it
  // changes nothing.
  void Find();
  // Every click on "1555" passes here, so the box's mark and the flag move
  // together.
  void Toggle1555();
  void SetStartFrameText(std::string text) { startFrameText_ = std::move(text); }
  void SetEndFrameText(std::string text) { endFrameText_ = std::move(text); }
  void SetSmallest(bool smallest) { smallest_ = smallest; }
  // The colours control. A table or a reduction gives palette indices, so
  // choosing one clears "1555", and ticking "1555" goes back to the
  // picture's own colours. Mapping onto a table before one was chosen
  // asks for it first; cancelling that keeps the mode as it was.
  const ColourChoice& colourChoice() const { return colours_; }
  void SetColourMode(ColourMode mode);
  // Runs the open-file dialog for a colour table and maps onto the chosen
  // one; cancelling it changes nothing.
  void ChooseColourTable();
  // Clamped to 2..256.
  void SetColourCount(std::int32_t colours);
  void SetDithering(bool dithering);
  // "Conversion" converts the selection; during a run it cancels the run.
  void PressConversion();
  // "Open..": the GD file written last, which for a sprite converted from
  // a later start frame is not the name in the output-name field.
  void Open();
  void ShowHelp();
  // A row of a record, or of one of its fields or pointers, shows that
  // record in the preview when the preview shows its file.
  void ChooseRow(std::int32_t row);
  // Escape and the close box: a running conversion is cancelled first and
  // the window closes once it has stopped.
  void RequestClose();

  // The request that converts path with the current fields, its GD file
  // next to it.
  ConversionRequest RequestFor(const std::string& path) const;

 private:
  void Accept(const std::string& path);
  void ShowOutputName();
  void ShowColours();
  void StartRun(std::vector<ConversionJob> jobs);
  void Cancel();
  void ShowRunState(RunState state);
  void OnProgress(RunProgress progress);
  void OnRunFinished(std::vector<FileOutcome> outcomes);
  void ShowFileOutcome(const FileOutcome& outcome);
  void ShowGroupedOutcomes(const std::vector<FileOutcome>& outcomes);
  void ShowRows(std::vector<ShownRow> rows);
  void ShowWritten(const FileOutcome& outcome, std::int32_t file);

  DialogView& view_;
  PostToGui post_;
  std::string sourcePath_;  // the last accepted selection: what is converted
  bool use1555_ = false;
  std::string startFrameText_;
  std::string endFrameText_;
  bool smallest_ = false;
  ColourChoice colours_;
  std::string lastWrittenPath_;  // the GD file the last conversion wrote

  RunState runState_ = RunState::kIdle;
  bool severalFiles_ = false;   // the run converts dropped files
  bool closeAfterRun_ = false;  // Escape or the close box came during a run
  RunProgress progress_;
  std::vector<ShownRow> rows_;
  std::int32_t previewedFile_ = -1;  // the file of rows_ the preview shows

  PreviewModel preview_;
  ConversionWorker worker_;  // last: stopped first
};

}  // namespace krelt
