#include "common/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

namespace krelt {
namespace {

// The items of one ParallelFor call and how far they are.
class ItemGroup {
 public:
  ItemGroup(std::size_t count, const std::function<void(std::size_t)>& body)
      : count_(count), body_(body) {}

  // Claims and runs items until none is left unclaimed.
  void Work() {
    for (std::size_t item; (item = next_.fetch_add(1)) < count_;) {
      try {
        body_(item);
      } catch (...) {
        const std::lock_guard lock(mutex_);
        if (!error_) error_ = std::current_exception();
      }
      const std::lock_guard lock(mutex_);
      if (++finished_ == count_) done_.notify_all();
    }
  }

  void WaitAndRethrow() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_ == count_; });
    if (error_) std::rethrow_exception(error_);
  }

 private:
  const std::size_t count_;
  const std::function<void(std::size_t)>& body_;
  std::atomic<std::size_t> next_{0};
  std::mutex mutex_;
  std::condition_variable done_;
  std::size_t finished_ = 0;
  std::exception_ptr error_;
};

}  // namespace

WorkerPool::WorkerPool(unsigned threadCount) {
  for (unsigned i = 1; i < threadCount; ++i) {
    threads_.emplace_back([this] { WorkerLoop(); });
  }
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::ParallelFor(std::size_t count,
                             const std::function<void(std::size_t)>& body) {
  if (count == 0) return;
  // The group outlives this call when a helper task is still queued, so
  // the queue holds shared owners.
  const auto group = std::make_shared<ItemGroup>(count, body);
  const std::size_t helpers = std::min(count - 1, threads_.size());
  if (helpers != 0) {
    {
      const std::lock_guard lock(mutex_);
      for (std::size_t i = 0; i < helpers; ++i) {
        tasks_.emplace_back([group] { group->Work(); });
      }
    }
    wake_.notify_all();
  }
  group->Work();
  group->WaitAndRethrow();
}

void WorkerPool::WorkerLoop() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

unsigned WorkerPool::HardwareThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

void ParallelFor(WorkerPool* pool, std::size_t count,
                 const std::function<void(std::size_t)>& body) {
  if (pool != nullptr) {
    pool->ParallelFor(count, body);
    return;
  }
  for (std::size_t index = 0; index < count; ++index) body(index);
}

}  // namespace krelt
