#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace krelt {

// A fixed set of threads that share the items of ParallelFor calls with the
// calling thread. Calls may nest (pictures, their frames, the chunks of a
// stream): a caller works on its own items until none is left unclaimed,
// then waits only for the items other threads took, so nesting never
// deadlocks and never stacks unrelated work on a waiting thread.
class WorkerPool {
 public:
  // threadCount threads in all, the caller's included: threadCount - 1 are
  // started. 0 counts as 1, which runs everything on the caller's thread.
  explicit WorkerPool(unsigned threadCount);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned threadCount() const { return static_cast<unsigned>(threads_.size()) + 1; }

  // Runs body(0) .. body(count - 1), each once, on this thread and the
  // pool's, and returns when all have returned. The first exception a body
  // throws is rethrown here once every claimed item has finished.
  void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

  // The threads of the machine, at least 1.
  static unsigned HardwareThreads();

 private:
  void WorkerLoop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Runs body(0) .. body(count - 1) on the pool when there is one, else one
// after the other on this thread.
void ParallelFor(WorkerPool* pool, std::size_t count,
                 const std::function<void(std::size_t)>& body);

}  // namespace krelt
