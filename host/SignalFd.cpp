#include "SignalFd.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

namespace rilo::host {

SignalFd::SignalFd(std::initializer_list<int> signals) {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : signals) sigaddset(&set, signal_number);
  if (const int rc = pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0) {
    throw std::system_error(rc, std::generic_category(), "pthread_sigmask");
  }
  fd_ = signalfd(-1, &set, SFD_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
}

SignalFd::~SignalFd() { close(fd_); }

int SignalFd::Wait(int timeout_ms) {
  pollfd entry{fd_, POLLIN, 0};
  int rc = 0;
  do {
    rc = poll(&entry, 1, timeout_ms);
  } while (rc < 0 && errno == EINTR);
  if (rc <= 0) return 0;
  signalfd_siginfo info{};
  if (read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
  return static_cast<int>(info.ssi_signo);
}

}  // namespace rilo::host
