#include "platform/WorkerThread.h"

#include <utility>

namespace rilo::platform {

WorkerThread::~WorkerThread() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
    wakeup_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Post(std::function<void()> call) {
  std::lock_guard guard(mutex_);
  calls_.push_back(std::move(call));
  if (!thread_.joinable()) thread_ = std::thread([this] { Serve(); });
  wakeup_.notify_one();
}

void WorkerThread::Serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wakeup_.wait(lock, [this] { return stopping_ || !calls_.empty(); });
    if (calls_.empty()) return;  // stopping, and nothing left to run
    auto call = std::move(calls_.front());
    calls_.pop_front();
    lock.unlock();
    call();
    lock.lock();
  }
}

}  // namespace rilo::platform
