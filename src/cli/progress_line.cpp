#include "cli/progress_line.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace krelt::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

}  // namespace

ProgressLine::ProgressLine(std::FILE* terminal, std::size_t total, bool shown)
    : terminal_(terminal), total_(total) {
  if (shown) ticker_ = std::thread([this] { Tick(); });
}

ProgressLine::~ProgressLine() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  const std::lock_guard lock(mutex_);
  Clear();
}

void ProgressLine::AddDone(std::uintmax_t bytes) {
  const std::lock_guard lock(mutex_);
  ++done_;
  bytesDone_ += bytes;
}

void ProgressLine::Print(const std::function<void()>& print) {
  const std::lock_guard lock(mutex_);
  Clear();
  print();
  std::fflush(stdout);
}

bool ProgressLine::StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressLine::Tick() {
  std::unique_lock lock(mutex_);
  if (stop_.wait_for(lock, kQuietStart, [this] { return stopping_; })) return;
  do {
    Redraw();
  } while (!stop_.wait_for(lock, kRedrawInterval, [this] { return stopping_; }));
}

void ProgressLine::Redraw() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double megabytesPerSecond = static_cast<double>(bytesDone_) / 1e6 / seconds;
  char line[96];
  const int width = std::snprintf(line, sizeof line, "\r%zu/%zu pictures, %.1f MB/s", done_,
                                  total_, megabytesPerSecond);
  if (width <= 0) return;
  const auto drawn = static_cast<std::size_t>(width) - 1;
  // Blanks cover what is left of a longer line drawn before.
  const std::size_t blanks = drawnWidth_ > drawn ? drawnWidth_ - drawn : 0;
  std::fprintf(terminal_, "%s%*s", line, static_cast<int>(blanks), "");
  std::fflush(terminal_);
  drawnWidth_ = drawn + blanks;
}

void ProgressLine::Clear() {
  if (drawnWidth_ == 0) return;
  std::fprintf(terminal_, "\r%*s\r", static_cast<int>(drawnWidth_), "");
  std::fflush(terminal_);
  drawnWidth_ = 0;
}

}  // namespace krelt::cli
