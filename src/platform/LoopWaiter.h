// How a message loop's thread waits when it has nothing to do, how other threads wake it,
// and the system's own messages it serves besides its posted calls and timers. One backend
// per system: posix/ (a condition variable) and win32/ (the thread's Windows message queue).
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "rilo/Clock.h"

namespace rilo::platform {

class LoopWaiter {
 public:
  explicit LoopWaiter(Clock& clock);
  ~LoopWaiter();
  LoopWaiter(const LoopWaiter&) = delete;
  LoopWaiter& operator=(const LoopWaiter&) = delete;

  /// Wakes a Wait in progress or the next one. Called with the loop's mutex held.
  void Wake();

  /// Called on the loop thread with `lock` (the loop's mutex) held and nothing to serve:
  /// returns when woken, when `deadline` has come (none: never), or when a system message
  /// arrives. May return early; the caller looks again.
  void Wait(std::unique_lock<std::mutex>& lock, std::optional<Clock::TimePoint> deadline);

  /// As Wait, for a loop waiting on work another thread does for it: a virtual clock does
  /// not move here, since that work takes no virtual time; only a wake ends the wait.
  void WaitForOtherThread(std::unique_lock<std::mutex>& lock,
                          std::optional<Clock::TimePoint> deadline);

  struct Dispatched {
    bool any = false;   // at least one system message ran
    bool quit = false;  // the system asked the loop to end (WM_QUIT)
  };
  /// Runs the system messages waiting for the loop thread at this moment (Windows: window
  /// messages, and the COM calls that arrive as such). With `only_when_signalled`, looks only
  /// when a wait since the last look saw one arrive. Loop thread only.
  Dispatched DispatchSystemMessages(bool only_when_signalled);

 private:
  struct Backend;
  std::unique_ptr<Backend> backend_;
};

}  // namespace rilo::platform
