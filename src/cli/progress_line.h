#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace krelt::cli {

// A one-line display of a run's progress on a terminal: "pictures done out
// of the total, MB/s", redrawn a few times a second once the run has taken
// about a second. Other output goes through Print, which clears the line
// first, so the two never mix.
class ProgressLine {
 public:
  // shown: false makes the line stay away (not a terminal, --quiet); Print
  // still works.
  ProgressLine(std::FILE* terminal, std::size_t total, bool shown);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // One more picture done, of this many input bytes.
  void AddDone(std::uintmax_t bytes);

  // Runs print (which writes to stdout or stderr) with the line cleared.
  void Print(const std::function<void()>& print);

  // Whether stderr is a terminal.
  static bool StderrIsTerminal();

 private:
  void Redraw();
  void Clear();
  void Tick();

  std::FILE* terminal_;
  const std::size_t total_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::size_t done_ = 0;
  std::uintmax_t bytesDone_ = 0;
  std::size_t drawnWidth_ = 0;
  std::thread ticker_;
};

}  // namespace krelt::cli
