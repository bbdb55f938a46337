// The timers of one message loop: periods, enabled flags, deadlines and which ticks are
// running. Used by MessageLoop on its own thread only, so nothing here locks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/MessageLoop.h"

namespace rilo::platform {

class TimerQueue {
 public:
  using TimePoint = Clock::TimePoint;
  /// Shared so that a handler outlives a timer destroyed during its own tick.
  using Handler = std::shared_ptr<const std::function<void()>>;

  TimerId Create(std::function<void()> on_tick);
  void Destroy(TimerId id);
  bool Exists(TimerId id) const;
  void SetHandler(TimerId id, std::function<void()> on_tick);
  bool SetPeriod(TimerId id, std::int64_t period_ms, TimePoint now);
  void SetEnabled(TimerId id, bool enabled, TimePoint now);
  bool Enabled(TimerId id) const;
  std::int64_t Period(TimerId id) const;
  /// The deadline of an enabled timer with a period.
  std::optional<TimePoint> Deadline(TimerId id) const;

  /// Timers whose tick is due at `now`, earliest deadline first. Held-back ticks (their
  /// previous run still going) are left out.
  std::vector<TimerId> Due(TimePoint now) const;
  /// The earliest deadline of a tick that could be delivered, if any.
  std::optional<TimePoint> NextDeadline() const;

  /// Starts a tick of `id` when it is still due at `due_by`: restarts the countdown from
  /// `now` and marks the tick running. Returns the handler to run; empty when there is
  /// nothing to run (not due any more, or no handler).
  Handler BeginTick(TimerId id, TimePoint due_by, TimePoint now);
  /// Ends the run started by BeginTick; a destroyed timer is ignored.
  void EndTick(TimerId id);

 private:
  struct Timer {
    Handler on_tick;
    std::int64_t period_ms = 0;
    bool enabled = false;
    bool running = false;
    TimePoint deadline{};

    bool CanTick() const { return enabled && period_ms > 0 && !running; }
  };

  static Handler MakeHandler(std::function<void()> on_tick);
  Timer* Find(TimerId id);
  const Timer* Find(TimerId id) const;

  std::map<TimerId, Timer> timers_;
  TimerId last_id_ = 0;
};

}  // namespace rilo::platform
