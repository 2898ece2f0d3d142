#include "front/conversion_worker.h"

#include <exception>
#include <utility>

namespace krelt {
namespace {

// The GD file a run wrote last, read back into its outcome.
void LoadPreview(std::vector<FileOutcome>& outcomes) {
  for (auto outcome = outcomes.rbegin(); outcome != outcomes.rend(); ++outcome) {
    if (outcome->result.writtenPath.empty()) continue;
    outcome->preview =
        std::make_shared<const ConvertedPreview>(LoadConvertedPreview(outcome->result));
    return;
  }
}

}  // namespace

ConversionWorker::ConversionWorker(ProgressCall progressed, FinishedCall finished)
    : progressed_(std::move(progressed)), finished_(std::move(finished)) {}

ConversionWorker::~ConversionWorker() { Cancel(); }

void ConversionWorker::Start(std::vector<ConversionJob> jobs) {
  token_ = std::make_shared<CancellationToken>();
  for (ConversionJob& job : jobs) job.request.cancel = token_.get();
  thread_.Submit([this, token = token_, jobs = std::move(jobs)] {
    finished_(Run(jobs, *token));
  });
}

void ConversionWorker::Cancel() {
  if (token_ != nullptr) token_->Cancel();
}

// Job `index` of jobs.size() at position of kRange: the run as a whole is
// at index * kRange + position of jobs.size() * kRange.
std::vector<FileOutcome> ConversionWorker::Run(const std::vector<ConversionJob>& jobs,
                                               const CancellationToken& token) {
  const auto whole = static_cast<std::int32_t>(jobs.size()) * ConversionProgress::kRange;
  std::vector<FileOutcome> outcomes;
  for (std::size_t index = 0; index < jobs.size() && !token.cancelled(); ++index) {
    const ConversionJob& job = jobs[index];
    FileOutcome outcome{job.path, {}, nullptr};
    if (job.refusal.empty()) {
      ConversionRequest request = job.request;
      const auto done = static_cast<std::int32_t>(index) * ConversionProgress::kRange;
      request.progress = [this, done, whole](std::int32_t position) {
        progressed_({done + position, whole});
      };
      outcome.result = RunGuarded(request);
    } else {
      outcome.result.status = Status::Error(ErrorKind::kUnsupported, job.refusal);
    }
    outcomes.push_back(std::move(outcome));
  }
  if (jobs.size() == 1 || !token.cancelled()) LoadPreview(outcomes);
  return outcomes;
}

// An exception must not leave the worker: the core turns its own failures
// into a Status, so only the unforeseen arrive here, and are shown as a
// failed conversion.
ConversionResult ConversionWorker::RunGuarded(const ConversionRequest& request) {
  try {
    return converter_.RunConversion(request);
  } catch (const std::exception& error) {
    ConversionResult result;
    result.status = Status::Error(
        ErrorKind::kIo, std::string("The conversion failed unexpectedly: ") + error.what());
    return result;
  }
}

}  // namespace krelt
