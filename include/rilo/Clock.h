// The time source of a server thread. Production runs on the steady clock; tests run on a
// virtual clock that jumps to the next deadline whenever the loop would wait, so a minute of
// schedule takes microseconds and every run is exactly repeatable.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace rilo {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;

  virtual TimePoint Now() const = 0;

  /// Blocks the calling thread for `d`; nothing else runs on it meanwhile.
  virtual void SleepFor(std::chrono::milliseconds d) = 0;

  /// Called by the message loop with `lock` held when it has nothing to do: waits on `cv`
  /// until notified or until `deadline` (none: until notified).
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                         std::optional<TimePoint> deadline) = 0;

  /// As WaitUntil, for a loop that waits on work another thread is doing for it. The real
  /// clock waits the same way; a virtual clock does not move here, since the other thread's
  /// work takes no virtual time: only a notification ends the wait.
  virtual void WaitForOtherThread(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                                  std::optional<TimePoint> deadline) {
    WaitUntil(lock, cv, deadline);
  }
};

/// The real clock: std::chrono::steady_clock and real sleeps.
std::shared_ptr<Clock> MakeSteadyClock();

/// A clock that only moves when told to or when a loop would wait for a deadline.
/// Safe to use from several threads.
class VirtualClock final : public Clock {
 public:
  VirtualClock();

  TimePoint Now() const override;
  /// Advances the clock by `d` at once.
  void SleepFor(std::chrono::milliseconds d) override;
  /// With a deadline: advances the clock to it (if later) and returns at once. Without one:
  /// waits on `cv` for real, since only another thread can bring work.
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                 std::optional<TimePoint> deadline) override;
  /// Waits on `cv` for real, whatever the deadline: the time stays where it is.
  void WaitForOtherThread(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                          std::optional<TimePoint> deadline) override;

  void Advance(std::chrono::nanoseconds d);

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
};

}  // namespace rilo
