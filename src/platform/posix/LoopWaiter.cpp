#include "platform/LoopWaiter.h"

#include <condition_variable>

namespace rilo::platform {

// The loop's clock does the waiting, so a virtual clock jumps to the deadline at once.
struct LoopWaiter::Backend {
  explicit Backend(Clock& c) : clock(c) {}
  Clock& clock;
  std::condition_variable wakeup;
};

LoopWaiter::LoopWaiter(Clock& clock) : backend_(std::make_unique<Backend>(clock)) {}

LoopWaiter::~LoopWaiter() = default;

void LoopWaiter::Wake() { backend_->wakeup.notify_one(); }

void LoopWaiter::Wait(std::unique_lock<std::mutex>& lock, std::optional<Clock::TimePoint> deadline) {
  backend_->clock.WaitUntil(lock, backend_->wakeup, deadline);
}

void LoopWaiter::WaitForOtherThread(std::unique_lock<std::mutex>& lock,
                                    std::optional<Clock::TimePoint> deadline) {
  backend_->clock.WaitForOtherThread(lock, backend_->wakeup, deadline);
}

LoopWaiter::Dispatched LoopWaiter::DispatchSystemMessages(bool) { return {}; }

}  // namespace rilo::platform
