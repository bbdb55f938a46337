#include "db/BlockingCall.h"

namespace rilo::db {
namespace {

thread_local const BlockingCallRunner* current_runner = nullptr;

}  // namespace

ScopedBlockingCallRunner::ScopedBlockingCallRunner(BlockingCallRunner runner)
    : runner_(std::move(runner)), previous_(current_runner) {
  current_runner = &runner_;
}

ScopedBlockingCallRunner::~ScopedBlockingCallRunner() { current_runner = previous_; }

void RunBlockingCall(const std::function<void()>& call) {
  if (current_runner != nullptr && *current_runner) {
    (*current_runner)(call);
  } else {
    call();
  }
}

}  // namespace rilo::db
