#include "JsonEventListener.h"

#include <utility>

#include "JsonProtocol.h"

namespace rilo::host {

JsonEventListener::JsonEventListener(std::string instance, std::shared_ptr<LineWriter> out)
    : instance_(std::move(instance)), out_(std::move(out)) {}

void JsonEventListener::ServerStart(std::string& str) { Send(EncodeServerStart(instance_, str)); }

void JsonEventListener::TipsUpdate(VariantBool& Pd) { Send(EncodeTipsUpdate(instance_, Pd)); }

void JsonEventListener::WorkProcess(std::int32_t& index) {
  Send(EncodeWorkProcess(instance_, index));
}

void JsonEventListener::TipsStart(std::string& str) { Send(EncodeTipsStart(instance_, str)); }

void JsonEventListener::Mute() {
  std::lock_guard lock(mutex_);
  muted_ = true;
}

void JsonEventListener::Send(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (!muted_) out_->Write(line);
}

}  // namespace rilo::host
