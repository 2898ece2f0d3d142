#pragma once

#include <atomic>

namespace krelt {

// A request to stop long work early. Cancel may be called from any thread
// and from a signal handler; the work polls cancelled() between its steps.
class CancellationToken {
 public:
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
};

// A plain store on a lock-free atomic is what makes Cancel safe in a signal
// handler.
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace krelt
