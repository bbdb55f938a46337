// A seam for tests and diagnostics: sees every statement the access layer sends, and may fail
// it by throwing, as an engine would. Process-wide; install with ScopedStatementHook.
#pragma once

#include <functional>
#include <string_view>

namespace rilo::db {

enum class StatementKind { kOpen, kExecute, kQuery, kUpdate };

/// `text` is the SQL (for kOpen: the connection string with passwords hidden).
using StatementHook = std::function<void(StatementKind kind, std::string_view text)>;

class ScopedStatementHook {
 public:
  explicit ScopedStatementHook(StatementHook hook);
  ~ScopedStatementHook();
  ScopedStatementHook(const ScopedStatementHook&) = delete;
  ScopedStatementHook& operator=(const ScopedStatementHook&) = delete;

 private:
  StatementHook previous_;
};

/// Called by the access layer before sending; rethrows what the hook throws.
void NotifyStatement(StatementKind kind, std::string_view text);

}  // namespace rilo::db
