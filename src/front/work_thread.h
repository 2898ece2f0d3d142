#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace krelt {

// How work done on other threads reaches a front end: the call is run on
// the front end's GUI thread, later, in the order posted. A front end must
// drop the calls still waiting when it goes.
using PostToGui = std::function<void(std::function<void()> call)>;

// One thread of its own that runs the work handed to it, one piece at a
// time. Only the latest piece waits: work submitted while another piece
// waits replaces it, so a front end that asks again and again (a frame box
// held down) gets the last answer without working through the others.
class WorkThread {
 public:
  WorkThread();
  // Drops the waiting piece and waits for the running one.
  ~WorkThread();
  WorkThread(const WorkThread&) = delete;
  WorkThread& operator=(const WorkThread&) = delete;

  void Submit(std::function<void()> work);

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> waiting_;
  bool stopping_ = false;
  std::thread thread_;  // last: started once the members above exist
};

}  // namespace krelt
