#include "LineWriter.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>

namespace rilo::host {

LineWriter::LineWriter(int fd) : fd_(fd), broken_event_(eventfd(0, EFD_CLOEXEC)) {
  if (broken_event_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

LineWriter::~LineWriter() { close(broken_event_); }

bool LineWriter::Write(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line).push_back('\n');

  std::lock_guard lock(mutex_);
  if (broken_) return false;
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t n = write(fd_, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      broken_ = true;
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t ignored = write(broken_event_, &one, sizeof one);
      return false;
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace rilo::host
