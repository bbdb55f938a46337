#include "db/access/StatementHook.h"

#include <utility>

namespace rilo::db {

void StatementHookSlot::Notify(StatementKind kind, std::string_view text) const {
  StatementHook hook;
  {
    const std::lock_guard lock(mutex_);
    hook = hook_;
  }
  if (hook) hook(kind, text);
}

ScopedStatementHook::ScopedStatementHook(std::shared_ptr<StatementHookSlot> slot,
                                         StatementHook hook)
    : slot_(std::move(slot)) {
  const std::lock_guard lock(slot_->mutex_);
  previous_ = std::exchange(slot_->hook_, std::move(hook));
}

ScopedStatementHook::~ScopedStatementHook() {
  const std::lock_guard lock(slot_->mutex_);
  slot_->hook_ = std::move(previous_);
}

}  // namespace rilo::db
