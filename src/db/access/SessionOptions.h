// What every session a server thread opens shares: how it reaches SQL Server over ODBC, and the
// statement hook through which tests and diagnostics watch what it sends. One per server
// thread, so two threads never see each other's.
#pragma once

#include <memory>
#include <string_view>

#include "db/access/StatementHook.h"
#include "db/odbc/OdbcChoice.h"

namespace rilo::db {

struct SessionOptions {
  OdbcChoice odbc;
  /// Shared with the hooks installed in it, which may outlive the thread.
  std::shared_ptr<StatementHookSlot> statement_hook = std::make_shared<StatementHookSlot>();
};

/// Tells the hook of `options`, if any, of a statement about to be sent. Null `options`: the
/// defaults, which watch nothing.
inline void NotifyStatement(const SessionOptions* options, StatementKind kind,
                            std::string_view text) {
  if (options != nullptr) options->statement_hook->Notify(kind, text);
}

}  // namespace rilo::db
