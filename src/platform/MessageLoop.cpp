#include "platform/MessageLoop.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/LoopWaiter.h"
#include "platform/TimerQueue.h"

namespace rilo::platform {

struct MessageLoop::State {
  explicit State(std::shared_ptr<Clock> c)
      : clock(c ? std::move(c) : MakeSteadyClock()),
        owner(std::this_thread::get_id()),
        waiter(*clock) {}

  /// Moves the calls posted so far to the loop's own queue; the lock is held only for that.
  void TakePosted() {
    std::vector<std::function<void()>> taken;
    {
      std::lock_guard guard(mutex);
      taken.swap(posted);
    }
    for (auto& call : taken) ready.push_back(std::move(call));
  }

  bool TakeQuit() {
    std::lock_guard guard(mutex);
    return std::exchange(quit, false);
  }

  void RunGuarded(const std::function<void()>& message) {
    try {
      message();
    } catch (...) {
      if (on_error) on_error(std::current_exception());
    }
  }

  void RunFirstReady() {
    auto call = std::move(ready.front());
    ready.pop_front();
    RunGuarded(call);
  }

  /// Delivers one tick of `id` if it is still due at `due_by`.
  void Tick(TimerId id, Clock::TimePoint due_by) {
    auto handler = timers.BeginTick(id, due_by, clock->Now());
    if (!handler) return;
    struct EndTick {
      TimerQueue& timers;
      TimerId id;
      ~EndTick() { timers.EndTick(id); }
    } end_tick{timers, id};
    RunGuarded(*handler);
  }

  /// Runs the system's own messages waiting now; one asking the loop to end counts as Quit.
  bool DispatchSystemMessages(bool only_when_signalled) {
    auto dispatched = waiter.DispatchSystemMessages(only_when_signalled);
    if (dispatched.quit) {
      std::lock_guard guard(mutex);
      quit = true;
    }
    return dispatched.any || dispatched.quit;
  }

  /// Serves one message: a posted call first, then the system's messages, else the earliest
  /// due tick. False when there was nothing to serve.
  bool ServeOne() {
    TakePosted();
    if (!ready.empty()) {
      RunFirstReady();
      return true;
    }
    if (DispatchSystemMessages(true)) return true;
    auto now = clock->Now();
    auto due = timers.Due(now);
    if (due.empty()) return false;
    Tick(due.front(), now);
    return true;
  }

  bool Serve(const std::function<bool()>* done, std::optional<Clock::TimePoint> deadline) {
    auto is_done = [done] { return done != nullptr && (*done)(); };
    for (;;) {
      if (is_done()) return true;
      if (TakeQuit()) return false;
      // A message that moved the clock past the deadline (a sleep) ends the run; what is due
      // exactly at the deadline is still served.
      if (deadline && clock->Now() > *deadline) return false;
      if (ServeOne()) continue;
      if (deadline && clock->Now() >= *deadline) return false;

      std::unique_lock lock(mutex);
      if (!posted.empty() || quit) continue;
      auto next = timers.NextDeadline();
      if (deadline && (!next || *deadline < *next)) next = deadline;
      waiter.Wait(lock, next);
    }
  }

  std::shared_ptr<Clock> clock;
  std::atomic<std::thread::id> owner;

  // Shared with other threads, guarded by `mutex`.
  std::mutex mutex;
  LoopWaiter waiter;  // Wake under `mutex`
  std::vector<std::function<void()>> posted;
  bool quit = false;

  // Loop thread only.
  std::deque<std::function<void()>> ready;
  TimerQueue timers;
  std::function<void(std::exception_ptr)> on_error;
};

namespace {

[[noreturn]] void AbortOutsideLoopThread(const char* what) {
  std::fprintf(stderr, "MessageLoop::%s called outside the loop's thread\n", what);
  std::abort();
}

// Loop-only methods check their thread: a call from elsewhere would race on unlocked state.
void RequireLoopThread(const MessageLoop& loop, const char* what) {
  if (!loop.IsInLoopThread()) AbortOutsideLoopThread(what);
}

}  // namespace

MessageLoop::MessageLoop(std::shared_ptr<Clock> clock)
    : state_(std::make_unique<State>(std::move(clock))) {}

MessageLoop::~MessageLoop() = default;

Clock& MessageLoop::clock() const { return *state_->clock; }

void MessageLoop::BindToCurrentThread() { state_->owner = std::this_thread::get_id(); }

bool MessageLoop::IsInLoopThread() const {
  return state_->owner.load() == std::this_thread::get_id();
}

// Notifying under the lock: once the loop can see the call, it may run it and let the loop
// be destroyed, so the wakeup must be done by then.
void MessageLoop::Post(std::function<void()> call) {
  std::lock_guard guard(state_->mutex);
  state_->posted.push_back(std::move(call));
  state_->waiter.Wake();
}

void MessageLoop::Quit() {
  std::lock_guard guard(state_->mutex);
  state_->quit = true;
  state_->waiter.Wake();
}

void MessageLoop::Run() {
  RequireLoopThread(*this, "Run");
  state_->Serve(nullptr, std::nullopt);
}

void MessageLoop::RunUntil(Clock::TimePoint deadline) {
  RequireLoopThread(*this, "RunUntil");
  state_->Serve(nullptr, deadline);
}

bool MessageLoop::RunUntil(const std::function<bool()>& done, Clock::TimePoint deadline) {
  RequireLoopThread(*this, "RunUntil");
  return state_->Serve(&done, deadline);
}

void MessageLoop::ProcessPendingMessages() {
  RequireLoopThread(*this, "ProcessPendingMessages");
  State& s = *state_;
  s.TakePosted();
  // Only what waits now: a call that posts another does not keep this pass going. A nested
  // pass may already have served some of them.
  for (auto waiting = s.ready.size(); waiting > 0 && !s.ready.empty(); --waiting) {
    s.RunFirstReady();
  }
  s.DispatchSystemMessages(false);
  auto now = s.clock->Now();
  for (TimerId id : s.timers.Due(now)) s.Tick(id, now);
}

void MessageLoop::WaitForMessage() {
  RequireLoopThread(*this, "WaitForMessage");
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  if (!s.posted.empty() || !s.ready.empty()) return;
  const auto next = s.timers.NextDeadline();
  if (next && *next <= s.clock->Now()) return;
  s.waiter.WaitForOtherThread(lock, next);
}

void MessageLoop::Sleep(std::chrono::milliseconds ms) {
  RequireLoopThread(*this, "Sleep");
  if (ms > std::chrono::milliseconds::zero()) state_->clock->SleepFor(ms);
}

void MessageLoop::SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
  RequireLoopThread(*this, "SetErrorHandler");
  state_->on_error = std::move(handler);
}

TimerId MessageLoop::CreateTimer(std::function<void()> on_tick) {
  RequireLoopThread(*this, "CreateTimer");
  return state_->timers.Create(std::move(on_tick));
}

void MessageLoop::DestroyTimer(TimerId id) {
  RequireLoopThread(*this, "DestroyTimer");
  state_->timers.Destroy(id);
}

void MessageLoop::SetTimerHandler(TimerId id, std::function<void()> on_tick) {
  RequireLoopThread(*this, "SetTimerHandler");
  state_->timers.SetHandler(id, std::move(on_tick));
}

bool MessageLoop::SetTimerPeriod(TimerId id, std::int64_t period_ms) {
  RequireLoopThread(*this, "SetTimerPeriod");
  return state_->timers.SetPeriod(id, period_ms, state_->clock->Now());
}

void MessageLoop::SetTimerEnabled(TimerId id, bool enabled) {
  RequireLoopThread(*this, "SetTimerEnabled");
  state_->timers.SetEnabled(id, enabled, state_->clock->Now());
}

bool MessageLoop::TimerEnabled(TimerId id) const {
  RequireLoopThread(*this, "TimerEnabled");
  return state_->timers.Enabled(id);
}

std::int64_t MessageLoop::TimerPeriod(TimerId id) const {
  RequireLoopThread(*this, "TimerPeriod");
  return state_->timers.Period(id);
}

std::optional<Clock::TimePoint> MessageLoop::TimerDeadline(TimerId id) const {
  RequireLoopThread(*this, "TimerDeadline");
  return state_->timers.Deadline(id);
}

bool MessageLoop::TimerExists(TimerId id) const {
  RequireLoopThread(*this, "TimerExists");
  return state_->timers.Exists(id);
}

}  // namespace rilo::platform
