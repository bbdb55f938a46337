// A transaction on a Connection that rolls back unless it was committed.
#pragma once

#include <functional>

#include "db/access/Connection.h"

namespace rilo::db {

class Transaction {
 public:
  /// Begins a transaction on `connection`, which must outlive the guard. Throws DbError as
  /// BeginTrans does; there is then nothing to roll back.
  explicit Transaction(Connection& connection, std::function<void()> on_failed_rollback = {});
  /// Rolls back unless committed. A rollback that fails is not thrown (closing the connection
  /// discards the transaction anyway): `on_failed_rollback`, if given, is called from the catch
  /// block, so it can describe the exception in flight; it must not throw.
  ~Transaction() noexcept;
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  /// Commits. When the commit throws, the guard still rolls back when it ends.
  void Commit();

 private:
  Connection& connection_;
  std::function<void()> on_failed_rollback_;
  bool committed_ = false;
};

}  // namespace rilo::db
