#include "front/work_thread.h"

#include <utility>

namespace krelt {

WorkThread::WorkThread() : thread_([this] { Loop(); }) {}

WorkThread::~WorkThread() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_ = nullptr;
  }
  wake_.notify_one();
  thread_.join();
}

void WorkThread::Submit(std::function<void()> work) {
  {
    const std::lock_guard lock(mutex_);
    waiting_ = std::move(work);
  }
  wake_.notify_one();
}

void WorkThread::Loop() {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || waiting_ != nullptr; });
      if (stopping_) return;
      work = std::exchange(waiting_, nullptr);
    }
    work();
  }
}

}  // namespace krelt
