// A helper thread that runs calls one after the other, in the order they were posted. It keeps
// the priority of the thread that made it: on a busy machine a lower one would starve the
// jobs' database work, which matters more than a steady progress tick.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace rilo::platform {

class WorkerThread {
 public:
  /// The thread starts with the first posted call.
  WorkerThread() = default;
  /// Runs the calls still queued, then joins the thread.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  /// Queues `call` behind those posted before it. Safe from any thread. `call` must not
  /// throw: nobody would hear of it.
  void Post(std::function<void()> call);

 private:
  void Serve();

  std::mutex mutex_;
  std::condition_variable wakeup_;
  std::deque<std::function<void()>> calls_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace rilo::platform
