// A seam for tests and diagnostics: sees every statement the access layer sends on the
// connections of one server thread, and may fail it by throwing, as an engine would. Install
// with ScopedStatementHook into the thread's slot.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

namespace rilo::db {

enum class StatementKind { kOpen, kExecute, kQuery, kUpdate };

/// `text` is the SQL (for kOpen: the connection string with passwords hidden).
using StatementHook = std::function<void(StatementKind kind, std::string_view text)>;

/// Where one server thread's hook is installed. A hook may be installed from a test's thread
/// while the server thread sends: guarded.
class StatementHookSlot {
 public:
  /// Called by the access layer before sending; rethrows what the hook throws. The hook is
  /// called outside the lock, so it may itself send statements.
  void Notify(StatementKind kind, std::string_view text) const;

 private:
  friend class ScopedStatementHook;
  mutable std::mutex mutex_;
  StatementHook hook_;
};

/// Installs `hook` into `slot` while it lives; the hook installed before comes back afterwards.
/// Keeps the slot alive, so it may outlive the server thread it watches.
class ScopedStatementHook {
 public:
  ScopedStatementHook(std::shared_ptr<StatementHookSlot> slot, StatementHook hook);
  ~ScopedStatementHook();
  ScopedStatementHook(const ScopedStatementHook&) = delete;
  ScopedStatementHook& operator=(const ScopedStatementHook&) = delete;

 private:
  std::shared_ptr<StatementHookSlot> slot_;
  StatementHook previous_;
};

}  // namespace rilo::db
