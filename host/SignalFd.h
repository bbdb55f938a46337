// Receives termination signals through a descriptor, so a poll() loop can end cleanly. Make
// it before starting any thread: threads inherit the blocked signal mask, which keeps the
// signals away from them.
#pragma once

#include <initializer_list>

namespace rilo::host {

class SignalFd {
 public:
  explicit SignalFd(std::initializer_list<int> signals);
  ~SignalFd();
  SignalFd(const SignalFd&) = delete;
  SignalFd& operator=(const SignalFd&) = delete;

  int fd() const { return fd_; }

  /// Waits up to `timeout_ms` (-1: for ever) for one of the signals. Returns it, or 0 when
  /// the time ran out.
  int Wait(int timeout_ms);

 private:
  int fd_ = -1;
};

}  // namespace rilo::host
