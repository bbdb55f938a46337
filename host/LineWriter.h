// Writes whole lines to a file descriptor from any thread: one lock, one write per line, so
// lines never interleave and each is out as soon as it is written (no buffering to flush).
#pragma once

#include <atomic>
#include <mutex>
#include <string_view>

namespace rilo::host {

class LineWriter {
 public:
  /// `fd` stays owned by the caller.
  explicit LineWriter(int fd);
  ~LineWriter();
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  /// Writes `line` and "\n". Returns false, and writes nothing more ever, once the reader is
  /// gone or the descriptor fails. Safe from any thread.
  bool Write(std::string_view line);

  bool broken() const { return broken_.load(); }

  /// A descriptor that becomes readable when the output breaks, for a poll() loop.
  int broken_event() const { return broken_event_; }

 private:
  int fd_;
  int broken_event_;
  std::mutex mutex_;
  std::atomic<bool> broken_{false};
};

}  // namespace rilo::host
