#include "LineSplitter.h"

namespace rilo::host {

void LineSplitter::Feed(std::string_view bytes, const Sink& sink) {
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    has_bytes_ = has_bytes_ || !piece.empty();
    if (!too_long_) {
      if (pending_.size() + piece.size() > max_length_ + 1) {  // + 1: a "\r" still to go
        too_long_ = true;
        pending_.clear();
        pending_.shrink_to_fit();
      } else {
        pending_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    Emit(sink);
    bytes.remove_prefix(end + 1);
  }
}

void LineSplitter::Finish(const Sink& sink) {
  if (has_bytes_) Emit(sink);
}

void LineSplitter::Emit(const Sink& sink) {
  InputLine line;
  if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
  line.too_long = too_long_ || pending_.size() > max_length_;
  if (!line.too_long) line.text = std::move(pending_);
  pending_.clear();
  too_long_ = false;
  has_bytes_ = false;
  sink(line);
}

}  // namespace rilo::host
