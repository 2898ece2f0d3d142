#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/cancellation.h"
#include "convert/conversion.h"
#include "front/preview_model.h"
#include "front/work_thread.h"

namespace krelt {

// One file of a run: converted with its request, or refused unconverted.
struct ConversionJob {
  std::string path;  // UTF-8, as the user gave it
  ConversionRequest request;
  std::string refusal;  // not empty: the file's failure, with this message
};

// What became of one file of a run.
struct FileOutcome {
  std::string path;
  ConversionResult result;
  // The GD file written last in a run that was not cancelled, read back;
  // null for the other files.
  std::shared_ptr<const ConvertedPreview> preview;
};

// The progress bar of a run: position of maximum, which is never 0 (a bar
// of 0 to 0 is a busy indicator in some toolkits).
struct RunProgress {
  std::int32_t position = 0;
  std::int32_t maximum = 100;

  bool operator==(const RunProgress&) const = default;
};

// Runs the conversions of files one after the other on a thread of its
// own, with one Converter kept from run to run. Progress covers the whole
// run, each file an equal part of it. Cancel stops the run at the file's
// next chunk; the files after it are not started. A run that was not
// cancelled also reads back the GD file it wrote last, for the preview; so
// does a run of one file cancelled too late, once the file was written.
class ConversionWorker {
 public:
  // Both are called on the worker's thread; finished once per run, last.
  using ProgressCall = std::function<void(RunProgress progress)>;
  using FinishedCall = std::function<void(std::vector<FileOutcome> outcomes)>;

  ConversionWorker(ProgressCall progressed, FinishedCall finished);
  // Cancels a run still going and waits for it.
  ~ConversionWorker();

  // Starts a run; the one before must have finished.
  void Start(std::vector<ConversionJob> jobs);
  void Cancel();

 private:
  std::vector<FileOutcome> Run(const std::vector<ConversionJob>& jobs,
                               const CancellationToken& token);
  ConversionResult RunGuarded(const ConversionRequest& request);

  ProgressCall progressed_;
  FinishedCall finished_;
  Converter converter_;  // used on the worker's thread only
  std::shared_ptr<CancellationToken> token_;
  WorkThread thread_;  // last: stopped before the members above go
};

}  // namespace krelt
