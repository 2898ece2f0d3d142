#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "app/preview_panel.h"
#include "common/cancellation.h"
#include "convert/conversion.h"

namespace krelt {

// One file of a run: what it was and what the conversion gave.
struct FileOutcome {
  QString path;
  ConversionResult result;
  // The GD file written last in a run that was not cancelled, read back.
  std::shared_ptr<ConvertedPreview> preview;
};

// One file to convert, or to report as refused without converting it.
struct ConversionJob {
  QString path;
  ConversionRequest request;
  std::string refusal;  // not empty: the file is refused with this message
};

// Runs the conversions of files one after the other on a worker thread,
// with one Converter kept from run to run. Progress covers the whole run,
// each file an equal part of it. Cancel stops the run at the file's next
// chunk; the files after it are not started. A run that was not cancelled
// also reads back the GD file it wrote last, for the preview.
class ConversionRunner final : public QObject {
  Q_OBJECT

 public:
  explicit ConversionRunner(QObject* parent = nullptr);
  // Cancels a run still going and waits for it.
  ~ConversionRunner() override;

  // Starts a run; ignored while one is going.
  void Start(std::vector<ConversionJob> jobs);
  void Cancel();
  bool running() const { return running_; }
  // The outcomes of the run that ended, in the order of the jobs.
  std::vector<FileOutcome> TakeOutcomes();

 signals:
  void progressed(int position, int maximum);
  void finished();

 private:
  std::vector<FileOutcome> Run(const std::vector<ConversionJob>& jobs);
  ConversionResult RunGuarded(const ConversionRequest& request);
  static void LoadPreview(std::vector<FileOutcome>& outcomes);
  void ReportProgress(std::size_t job, std::size_t jobCount, std::int32_t position,
                      std::int32_t maximum);

  Converter converter_;
  std::unique_ptr<CancellationToken> token_;
  QFutureWatcher<std::vector<FileOutcome>> watcher_;
  bool running_ = false;
};

}  // namespace krelt
