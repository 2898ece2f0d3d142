#include "app/conversion_runner.h"

#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <string>
#include <utility>


namespace krelt {

ConversionRunner::ConversionRunner(QObject* parent) : QObject(parent) {
  connect(&watcher_, &QFutureWatcher<std::vector<FileOutcome>>::finished, this, [this] {
    running_ = false;
    emit finished();
  });
}

ConversionRunner::~ConversionRunner() {
  Cancel();
  watcher_.waitForFinished();
}

void ConversionRunner::Start(std::vector<ConversionJob> jobs) {
  if (running_) return;
  running_ = true;
  token_ = std::make_unique<CancellationToken>();
  for (ConversionJob& job : jobs) job.request.cancel = token_.get();
  watcher_.setFuture(QtConcurrent::run(
      [this, jobs = std::move(jobs)] { return Run(jobs); }));
}

void ConversionRunner::Cancel() {
  if (running_) token_->Cancel();
}

std::vector<FileOutcome> ConversionRunner::TakeOutcomes() {
  if (running_ || watcher_.future().resultCount() == 0) return {};
  return watcher_.result();
}

// Runs on the worker thread: touches nothing but the converter and the
// jobs, and reaches the GUI thread through queued calls only.
std::vector<FileOutcome> ConversionRunner::Run(const std::vector<ConversionJob>& jobs) {
  std::vector<FileOutcome> outcomes;
  for (std::size_t index = 0; index < jobs.size() && !token_->cancelled(); ++index) {
    const ConversionJob& job = jobs[index];
    FileOutcome outcome;
    outcome.path = job.path;
    if (job.refusal.empty()) {
      ConversionRequest request = job.request;
      request.progress = [this, index, count = jobs.size()](std::int32_t position) {
        ReportProgress(index, count, position, ConversionProgress::kRange);
      };
      outcome.result = RunGuarded(request);
    } else {
      outcome.result.status = Status::Error(ErrorKind::kUnsupported, job.refusal);
    }
    outcomes.push_back(std::move(outcome));
  }
  // A single file written before a late Cancel is still shown, with its
  // preview; a cancelled batch leaves the preview as it was.
  if (jobs.size() == 1 || !token_->cancelled()) LoadPreview(outcomes);
  return outcomes;
}

// Reading a GD file back takes as long as writing it, so it is done here
// rather than on the GUI thread, for the last file written. An unforeseen
// exception becomes the preview's failure, as a conversion's does.
void ConversionRunner::LoadPreview(std::vector<FileOutcome>& outcomes) {
  for (std::size_t index = outcomes.size(); index-- > 0;) {
    FileOutcome& outcome = outcomes[index];
    if (outcome.result.writtenPath.empty()) continue;
    outcome.preview = std::make_shared<ConvertedPreview>();
    try {
      *outcome.preview = LoadConvertedPreview(outcome.result, outcome.result.startFrame);
    } catch (const std::exception& error) {
      outcome.preview->status = Status::Error(
          ErrorKind::kIo, std::string("The preview failed unexpectedly: ") + error.what());
    }
    return;
  }
}

// An exception must not leave the worker: the core turns its own failures
// into a Status, so only the unforeseen arrive here, and are shown as a
// failed conversion.
ConversionResult ConversionRunner::RunGuarded(const ConversionRequest& request) {
  try {
    return converter_.RunConversion(request);
  } catch (const std::exception& error) {
    ConversionResult result;
    result.status = Status::Error(
        ErrorKind::kIo, std::string("The conversion failed unexpectedly: ") + error.what());
    return result;
  }
}

// Job `job` of jobCount is at position of maximum: the run as a whole is at
// job * maximum + position of jobCount * maximum.
void ConversionRunner::ReportProgress(std::size_t job, std::size_t jobCount,
                                      std::int32_t position, std::int32_t maximum) {
  const auto whole = static_cast<int>(jobCount) * maximum;
  const auto done = static_cast<int>(job) * maximum + position;
  QMetaObject::invokeMethod(
      this, [this, done, whole] { emit progressed(done, whole); }, Qt::QueuedConnection);
}

}  // namespace krelt
