// An engine session whose every call, closing included, runs where RunBlocking sends it: on
// the server thread's database worker while that thread goes on serving its loop.
#pragma once

#include <memory>

#include "db/Engine.h"

namespace rilo::db {

class OffThreadSession final : public Session {
 public:
  explicit OffThreadSession(std::unique_ptr<Session> engine) : engine_(std::move(engine)) {}
  /// Closes the engine's session the same way; never throws.
  ~OffThreadSession() override;

  void Execute(std::string_view sql) override;
  ResultSet Query(std::string_view sql) override;
  std::vector<ColumnInfo> Describe(std::string_view sql) override;
  std::int64_t ExecuteWithParams(std::string_view sql, std::span<const Value> params) override;
  std::vector<std::string> PrimaryKeyColumns(std::string_view table) override;
  void BeginTransaction() override;
  void Commit() override;
  void Rollback() override;

 private:
  std::unique_ptr<Session> engine_;
};

}  // namespace rilo::db
