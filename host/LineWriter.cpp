#include "LineWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace rilo::host {
namespace {

void Signal(int event_fd) {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = write(event_fd, &one, sizeof one);
}

int MakeEvent() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

LineWriter::LineWriter(int fd, std::size_t max_pending)
    : fd_(fd),
      original_flags_(fcntl(fd, F_GETFL)),
      broken_event_(MakeEvent()),
      wake_event_(MakeEvent()),
      max_pending_(max_pending) {
  if (original_flags_ >= 0) fcntl(fd_, F_SETFL, original_flags_ | O_NONBLOCK);
  flusher_ = std::thread([this] { FlusherLoop(); });
}

LineWriter::~LineWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Signal(wake_event_);
  flusher_.join();
  if (original_flags_ >= 0) fcntl(fd_, F_SETFL, original_flags_);
  close(wake_event_);
  close(broken_event_);
}

bool LineWriter::Write(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (broken_) return false;
  // A line already begun must be finished, whatever its size; a new one waits only if it fits.
  if (!pending_.empty() && pending_.size() + line.size() + 1 > max_pending_) {
    ++dropped_;
    return true;
  }
  pending_.append(line).push_back('\n');
  FlushLocked();
  if (!pending_.empty()) Signal(wake_event_);
  return !broken_;
}

bool LineWriter::Drain(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return drained_.wait_for(lock, limit, [this] { return pending_.empty() || broken_; });
}

void LineWriter::FlushLocked() {
  while (!pending_.empty()) {
    const ssize_t n = write(fd_, pending_.data(), pending_.size());
    if (n > 0) {
      pending_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    BreakLocked();
    return;
  }
  drained_.notify_all();
}

void LineWriter::BreakLocked() {
  broken_ = true;
  pending_.clear();
  Signal(broken_event_);
  drained_.notify_all();
}

void LineWriter::FlusherLoop() {
  for (;;) {
    bool waiting_for_room = false;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      waiting_for_room = !pending_.empty() && !broken_;
    }
    pollfd watched[2] = {{wake_event_, POLLIN, 0}, {waiting_for_room ? fd_ : -1, POLLOUT, 0}};
    if (poll(watched, 2, -1) < 0 && errno != EINTR) return;
    if (watched[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t ignored = read(wake_event_, &count, sizeof count);
    }
    if (watched[1].revents != 0) {
      std::lock_guard lock(mutex_);
      FlushLocked();
    }
  }
}

}  // namespace rilo::host
