#include "db/access/Transaction.h"

#include <utility>

namespace rilo::db {

Transaction::Transaction(Connection& connection, std::function<void()> on_failed_rollback)
    : connection_(connection), on_failed_rollback_(std::move(on_failed_rollback)) {
  connection_.BeginTrans();
}

Transaction::~Transaction() noexcept {
  if (committed_) return;
  try {
    connection_.RollbackTrans();
  } catch (...) {
    if (on_failed_rollback_) on_failed_rollback_();
  }
}

void Transaction::Commit() {
  connection_.CommitTrans();
  committed_ = true;
}

}  // namespace rilo::db
