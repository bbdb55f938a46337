// Cuts a byte stream into lines. A line longer than the limit is not kept: it comes out
// once, empty and marked too long, so a host that never sends a line break cannot make the
// server hold its whole input.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace rilo::host {

struct InputLine {
  std::string text;  // without "\n" and without a "\r" before it
  bool too_long = false;
};

class LineSplitter {
 public:
  using Sink = std::function<void(InputLine&)>;

  explicit LineSplitter(std::size_t max_length) : max_length_(max_length) {}

  /// Takes the next bytes of input; every line they complete goes to `sink`, in order.
  void Feed(std::string_view bytes, const Sink& sink);

  /// End of input: a last line that had no line break goes to `sink`.
  void Finish(const Sink& sink);

 private:
  void Emit(const Sink& sink);

  std::size_t max_length_;
  std::string pending_;
  bool too_long_ = false;
  bool has_bytes_ = false;
};

}  // namespace rilo::host
