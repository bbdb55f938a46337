#include "db/access/StatementHook.h"

#include <mutex>
#include <utility>

namespace rilo::db {
namespace {

// Installed from a test's thread, called from the server thread: guarded.
std::mutex hook_mutex;
StatementHook current_hook;

}  // namespace

ScopedStatementHook::ScopedStatementHook(StatementHook hook) {
  std::lock_guard lock(hook_mutex);
  previous_ = std::exchange(current_hook, std::move(hook));
}

ScopedStatementHook::~ScopedStatementHook() {
  std::lock_guard lock(hook_mutex);
  current_hook = std::move(previous_);
}

void NotifyStatement(StatementKind kind, std::string_view text) {
  StatementHook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = current_hook;
  }
  // Called outside the lock, so a hook may itself send statements.
  if (hook) hook(kind, text);
}

}  // namespace rilo::db
