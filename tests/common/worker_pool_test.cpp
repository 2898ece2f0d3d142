#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/worker_pool.h"

namespace krelt {
namespace {

TEST(WorkerPoolTest, RunsEveryItemExactlyOnce) {
  for (const unsigned threads : {0u, 1u, 2u, 3u, 8u}) {
    WorkerPool pool(threads);
    EXPECT_EQ(pool.threadCount(), std::max(threads, 1u));
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{2},
                                    std::size_t{7}, std::size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      pool.ParallelFor(count, [&runs](std::size_t item) { ++runs[item]; });
      for (std::size_t item = 0; item < count; ++item) {
        EXPECT_EQ(runs[item].load(), 1) << threads << " threads, item " << item << " of " << count;
      }
    }
  }
}

TEST(WorkerPoolTest, OneThreadRunsOnTheCaller) {
  WorkerPool pool(1);
  std::vector<std::thread::id> seen(5);
  pool.ParallelFor(seen.size(), [&seen](std::size_t item) { seen[item] = std::this_thread::get_id(); });
  for (const std::thread::id id : seen) EXPECT_EQ(id, std::this_thread::get_id());
}

// Two items that each wait for the other only finish when they run at the
// same time.
TEST(WorkerPoolTest, TwoThreadsRunTwoItemsAtOnce) {
  WorkerPool pool(2);
  std::mutex mutex;
  std::condition_variable arrived;
  int present = 0;
  std::atomic<int> metPartner{0};
  pool.ParallelFor(2, [&](std::size_t) {
    std::unique_lock lock(mutex);
    ++present;
    arrived.notify_all();
    if (arrived.wait_for(lock, std::chrono::seconds(20), [&] { return present == 2; })) {
      ++metPartner;
    }
  });
  EXPECT_EQ(metPartner.load(), 2);
}

// Pictures, their frames and the chunks of each frame: three levels of
// calls on one pool finish, whatever the thread count.
TEST(WorkerPoolTest, NestedCallsFinish) {
  for (const unsigned threads : {1u, 2u, 4u}) {
    WorkerPool pool(threads);
    std::atomic<long> total{0};
    pool.ParallelFor(6, [&](std::size_t picture) {
      pool.ParallelFor(picture + 1, [&](std::size_t frame) {
        pool.ParallelFor(10, [&](std::size_t chunk) {
          total += static_cast<long>(picture * 10000 + frame * 100 + chunk);
        });
      });
    });
    long expected = 0;
    for (long picture = 0; picture < 6; ++picture) {
      for (long frame = 0; frame <= picture; ++frame) {
        for (long chunk = 0; chunk < 10; ++chunk) expected += picture * 10000 + frame * 100 + chunk;
      }
    }
    EXPECT_EQ(total.load(), expected) << threads << " threads";
  }
}

TEST(WorkerPoolTest, ExceptionReachesTheCallerAfterTheOtherItems) {
  for (const unsigned threads : {1u, 3u}) {
    WorkerPool pool(threads);
    std::atomic<int> runs{0};
    EXPECT_THROW(pool.ParallelFor(50,
                                  [&runs](std::size_t item) {
                                    ++runs;
                                    if (item == 3) throw std::runtime_error("item 3");
                                  }),
                 std::runtime_error);
    EXPECT_EQ(runs.load(), 50) << threads << " threads";
    // The pool still works afterwards.
    std::atomic<int> again{0};
    pool.ParallelFor(4, [&again](std::size_t) { ++again; });
    EXPECT_EQ(again.load(), 4);
  }
}

}  // namespace
}  // namespace krelt
