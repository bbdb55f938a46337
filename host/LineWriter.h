// Writes whole lines to a file descriptor from any thread without ever blocking the caller:
// the descriptor is put in non-blocking mode, and what the reader has no room for yet waits
// in a bounded buffer that a flusher thread writes out as room appears. A line that does not
// fit in the buffer is dropped whole. Lines never interleave, and no lock is ever held across
// a write that could block, so shutting down never waits for a reader that stopped reading.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace rilo::host {

class LineWriter {
 public:
  /// About fifteen minutes of progress events, far more than any host falls behind by.
  static constexpr std::size_t kMaxPending = std::size_t{1} << 20;

  /// `fd` stays owned by the caller; its blocking mode is restored on destruction.
  explicit LineWriter(int fd, std::size_t max_pending = kMaxPending);
  ~LineWriter();
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  /// Writes `line` and "\n", or keeps them for the flusher, or drops them when the buffer is
  /// full. Returns false, and writes nothing more ever, once the reader is gone or the
  /// descriptor fails. Never blocks for the reader. Safe from any thread.
  bool Write(std::string_view line);

  /// Waits at most `limit` for the kept lines to go out; false when some are still waiting.
  bool Drain(std::chrono::milliseconds limit);

  bool broken() const { return broken_.load(); }
  /// Lines dropped because the reader fell too far behind.
  std::uint64_t dropped() const { return dropped_.load(); }

  /// A descriptor that becomes readable when the output breaks, for a poll() loop.
  int broken_event() const { return broken_event_; }

 private:
  void FlushLocked();
  void BreakLocked();
  void FlusherLoop();

  int fd_;
  int original_flags_;
  int broken_event_;
  int wake_event_;
  std::size_t max_pending_;
  std::mutex mutex_;
  std::condition_variable drained_;
  std::string pending_;
  bool stopping_ = false;
  std::atomic<bool> broken_{false};
  std::atomic<std::uint64_t> dropped_{0};
  std::thread flusher_;
};

}  // namespace rilo::host
