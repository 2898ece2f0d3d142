#pragma once

// A DialogView that keeps what the model tells it, and a GUI thread that
// the test runs by hand.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "front/dialog_model.h"

namespace krelt::test {

class RecordingView final : public DialogView {
 public:
  std::string ReadProfilePath() override { return profilePath; }
  std::optional<std::string> ChooseFile(std::string_view initialName,
                                        std::span<const std::string_view> filters) override {
    chooserInitialNames.emplace_back(initialName);
    chooserFilters.assign(filters.begin(), filters.end());
    return chooserAnswer;
  }
  void OpenFile(const std::string& path) override { openedFiles.push_back(path); }
  void ShowMessage(const Message& message) override { messages.push_back(message); }
  void ShowSelection(const std::string& path, bool use1555) override {
    pathField = path;
    mark1555 = use1555;
  }
  void ShowOutputName(const std::string& name) override { outputName = name; }
  void EnableOpen(bool enabled) override { openEnabled = enabled; }
  void ShowRunControls(const RunControls& shown) override { controls.push_back(shown); }
  void ShowColourChoice(const ColourChoice& choice) override { colourChoices.push_back(choice); }
  void ShowProgress(const RunProgress& shown) override { progress.push_back(shown); }
  void ShowReport(const std::vector<ShownRow>& rows) override { report = rows; }
  void CloseWindow() override { ++closed; }
  void ShowPreview(const PreviewScreen& screen) override { preview = screen; }

  // Queues the call for RunUntil; called from any thread.
  PostToGui Poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard lock(mutex_);
      posted_.push_back(std::move(call));
      wake_.notify_one();
    };
  }

  // Runs posted calls, in order, until done() holds; false after a minute
  // without it.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
      std::unique_lock lock(mutex_);
      if (!wake_.wait_until(lock, deadline, [this] { return !posted_.empty(); })) return false;
      std::function<void()> call = std::move(posted_.front());
      posted_.pop_front();
      lock.unlock();
      call();
    }
    return true;
  }

  std::string profilePath;
  std::optional<std::string> chooserAnswer;
  std::vector<std::string> chooserInitialNames;
  std::vector<std::string_view> chooserFilters;
  std::vector<std::string> openedFiles;
  std::vector<Message> messages;
  std::string pathField;
  bool mark1555 = false;
  std::string outputName;
  bool openEnabled = false;
  std::vector<RunControls> controls;
  std::vector<ColourChoice> colourChoices;
  std::vector<RunProgress> progress;
  std::vector<ShownRow> report;
  int closed = 0;
  PreviewScreen preview;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace krelt::test
