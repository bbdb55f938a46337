// The Win32 backend: the loop thread waits in MsgWaitForMultipleObjectsEx, so a window
// message (and a COM call, which arrives as one) wakes it as a posted call does, and it is
// dispatched on the loop thread between the loop's own messages.
#include "platform/LoopWaiter.h"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <stdexcept>

#include "platform/SteadyClock.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace rilo::platform {
namespace {

// Window messages dispatched in one pass at most: a window that posts itself a message
// for every one it gets must not keep the loop from its timers.
constexpr int kMaxMessagesPerPass = 256;

// Deadlines nearer than this raise the system timer resolution when no high-resolution
// timer is available; a wait with none (or farther away) lowers it again.
constexpr auto kFineWait = std::chrono::seconds(1);

struct Handle {
  HANDLE value = nullptr;
  explicit Handle(HANDLE h) : value(h) {
    if (value == nullptr) throw std::runtime_error("message loop: cannot create a wait handle");
  }
  ~Handle() { CloseHandle(value); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

// A waitable timer that fires within a millisecond: high resolution where the system has
// it (Windows 10 1803 and later), otherwise a plain one with a 1 ms timer resolution.
HANDLE CreateDeadlineTimer(bool& high_resolution) {
  HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS);
  high_resolution = timer != nullptr;
  if (timer == nullptr) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  return timer;
}

}  // namespace

struct LoopWaiter::Backend {
  explicit Backend(Clock& c)
      : clock(c),
        real_clock(IsSteadyClock(c)),
        wake_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
        timer(CreateDeadlineTimer(high_resolution)) {}

  ~Backend() { SetFineResolution(false); }

  void SetFineResolution(bool fine) {
    if (high_resolution || fine == resolution_raised) return;
    if (fine) {
      resolution_raised = timeBeginPeriod(1) == TIMERR_NOERROR;
    } else {
      timeEndPeriod(1);
      resolution_raised = false;
    }
  }

  // Waits for the wake event, a window message, or the deadline on the real clock.
  void WaitForSystem(std::optional<Clock::TimePoint> deadline) {
    HANDLE handles[2] = {wake_event.value, timer.value};
    DWORD count = 1;
    DWORD timeout = INFINITE;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::nanoseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left <= std::chrono::nanoseconds::zero()) return;
      SetFineResolution(left < kFineWait);
      // Relative due time in 100 ns units, rounded up so the deadline has surely passed.
      LARGE_INTEGER due;
      due.QuadPart = -((left.count() + 99) / 100);
      if (SetWaitableTimer(timer.value, &due, 0, nullptr, nullptr, FALSE)) count = 2;
      // The wait's own timeout as well, whichever fires first: on Windows that is the
      // high-resolution timer, under Wine (whose timer objects live in its server) the timeout.
      timeout = static_cast<DWORD>(std::min<long long>(
          std::chrono::ceil<std::chrono::milliseconds>(left).count(), INFINITE - 1));
    } else {
      SetFineResolution(false);
    }
    // A timer left armed by an earlier wake only causes one more look; not cancelling it
    // saves a call into the system on every tick.
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0 + count || woke == WAIT_FAILED) input_may_wait = true;
  }

  Clock& clock;
  const bool real_clock;
  std::condition_variable wakeup;  // for a clock that waits by itself
  Handle wake_event;
  bool high_resolution = false;
  Handle timer;
  bool resolution_raised = false;
  // Whether a window message may be waiting: the wait says so when one arrives (and it
  // returns at once while one waits unread), so the loop need not ask after every message.
  bool input_may_wait = true;
};

LoopWaiter::LoopWaiter(Clock& clock) : backend_(std::make_unique<Backend>(clock)) {}

LoopWaiter::~LoopWaiter() = default;

void LoopWaiter::Wake() {
  backend_->wakeup.notify_one();
  SetEvent(backend_->wake_event.value);
}

void LoopWaiter::Wait(std::unique_lock<std::mutex>& lock, std::optional<Clock::TimePoint> deadline) {
  Backend& b = *backend_;
  if (deadline && !b.real_clock) {
    // A virtual clock passes the time at once.
    b.clock.WaitUntil(lock, b.wakeup, deadline);
    return;
  }
  // The wake event is auto-reset and stays set when Wake came between unlock and the
  // wait, so no wakeup is lost.
  lock.unlock();
  b.WaitForSystem(b.real_clock ? deadline : std::nullopt);
  lock.lock();
}

void LoopWaiter::WaitForOtherThread(std::unique_lock<std::mutex>& lock,
                                    std::optional<Clock::TimePoint> deadline) {
  Backend& b = *backend_;
  // Window messages still wake the wait; only a real clock's deadline ends it as well.
  lock.unlock();
  b.WaitForSystem(b.real_clock ? deadline : std::nullopt);
  lock.lock();
}

LoopWaiter::Dispatched LoopWaiter::DispatchSystemMessages(bool only_when_signalled) {
  Dispatched result;
  Backend& b = *backend_;
  // A clock of its own may pass the time without waiting in the system, so it always asks.
  if (only_when_signalled && b.real_clock && !b.input_may_wait) return result;
  b.input_may_wait = false;
  MSG msg;
  for (int n = 0; n < kMaxMessagesPerPass && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      result.quit = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    result.any = true;
  }
  // Left over after a full pass, or posted meanwhile: look again next time.
  if (result.any || result.quit) b.input_may_wait = true;
  return result;
}

}  // namespace rilo::platform
