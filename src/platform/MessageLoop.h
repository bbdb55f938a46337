// The server thread's message loop: posted calls and timers, delivered on one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "rilo/Clock.h"

namespace rilo::platform {

/// Identifies a timer of one loop. Ids are never reused, so a stale id touches nothing.
using TimerId = std::uint64_t;

class MessageLoop {
 public:
  /// The longest period a timer accepts, in ms (about 24.8 days).
  static constexpr std::int64_t kMaxTimerPeriodMs = 0x7FFFFFFF;

  /// The loop belongs to the thread that constructs it until BindToCurrentThread is called.
  /// An empty clock means the steady clock.
  explicit MessageLoop(std::shared_ptr<Clock> clock);
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  Clock& clock() const;

  /// Makes the calling thread the loop's thread.
  void BindToCurrentThread();
  bool IsInLoopThread() const;

  /// Queues `call` to run on the loop thread and wakes the loop. Safe from any thread.
  void Post(std::function<void()> call);

  /// Serves posted calls and due ticks until Quit is called. Loop thread only.
  void Run();
  /// Serves until the clock reaches `deadline` (or Quit). Loop thread only.
  void RunUntil(Clock::TimePoint deadline);
  /// Serves until `done()` holds after a message or the clock reaches `deadline`.
  bool RunUntil(const std::function<bool()>& done, Clock::TimePoint deadline);
  /// Makes Run return. Safe from any thread.
  void Quit();

  /// Runs every posted call and every due tick that waits at this moment, nested jobs
  /// included, then returns. Loop thread only.
  void ProcessPendingMessages();

  /// Blocks until a call is posted or a tick is due, and returns without serving it. For a
  /// loop thread waiting on another thread's result, which that thread posts: the virtual
  /// clock does not move here. Loop thread only.
  void WaitForMessage();

  /// Blocks the loop thread for `ms`; nothing is served meanwhile.
  void Sleep(std::chrono::milliseconds ms);

  /// A posted call or tick handler that throws does not stop the loop: the exception goes to
  /// `handler` (dropped when there is none). Loop thread only.
  void SetErrorHandler(std::function<void(std::exception_ptr)> handler);

  // Timers. Loop thread only. A timer ticks when it is enabled, its period is above 0 and
  // its period has passed since it was last enabled, given a period, or ticked. A tick of a
  // timer whose previous tick is still running (suspended in ProcessPendingMessages) is held
  // back until that run returns, so no tick handler runs nested inside itself.

  /// Creates a disabled timer with period 0.
  TimerId CreateTimer(std::function<void()> on_tick);
  /// A timer destroyed from inside its own tick handler finishes that run.
  void DestroyTimer(TimerId id);
  /// Replaces the tick handler; an empty one makes ticks do nothing.
  void SetTimerHandler(TimerId id, std::function<void()> on_tick);
  /// Sets the period and restarts the countdown. Refuses (returns false, keeps the old
  /// period) a negative period or one above kMaxTimerPeriodMs, and an unknown timer.
  bool SetTimerPeriod(TimerId id, std::int64_t period_ms);
  /// Enabling restarts the countdown.
  void SetTimerEnabled(TimerId id, bool enabled);
  bool TimerEnabled(TimerId id) const;
  std::int64_t TimerPeriod(TimerId id) const;
  /// When the timer ticks next: nothing when it is disabled or its period is 0. A tick held
  /// back behind a running one is late.
  std::optional<Clock::TimePoint> TimerDeadline(TimerId id) const;
  bool TimerExists(TimerId id) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace rilo::platform
