#include "rilo/Clock.h"

#include <algorithm>
#include <thread>

#include "platform/SteadyClock.h"

namespace rilo {
namespace {

class SteadyClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }

  void SleepFor(std::chrono::milliseconds d) override { std::this_thread::sleep_for(d); }

  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                 std::optional<TimePoint> deadline) override {
    if (deadline) {
      cv.wait_until(lock, *deadline);
    } else {
      cv.wait(lock);
    }
  }
};

}  // namespace

std::shared_ptr<Clock> MakeSteadyClock() { return std::make_shared<SteadyClock>(); }

bool platform::IsSteadyClock(const Clock& clock) {
  return dynamic_cast<const SteadyClock*>(&clock) != nullptr;
}

VirtualClock::VirtualClock() = default;

Clock::TimePoint VirtualClock::Now() const {
  std::lock_guard guard(mutex_);
  return now_;
}

void VirtualClock::SleepFor(std::chrono::milliseconds d) { Advance(d); }

void VirtualClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                             std::optional<TimePoint> deadline) {
  if (!deadline) {
    // Nothing is scheduled, so only a call from another thread can bring work.
    cv.wait(lock);
    return;
  }
  std::lock_guard guard(mutex_);
  now_ = std::max(now_, *deadline);
}

void VirtualClock::WaitForOtherThread(std::unique_lock<std::mutex>& lock,
                                      std::condition_variable& cv,
                                      std::optional<TimePoint> /*deadline*/) {
  cv.wait(lock);
}

void VirtualClock::Advance(std::chrono::nanoseconds d) {
  if (d <= std::chrono::nanoseconds::zero()) return;  // a steady clock never goes back
  std::lock_guard guard(mutex_);
  now_ += std::chrono::duration_cast<TimePoint::duration>(d);
}

}  // namespace rilo
