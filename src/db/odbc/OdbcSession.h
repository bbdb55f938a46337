// One connection to a database over ODBC.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/Engine.h"
#include "db/odbc/OdbcConnectParameters.h"
#include "db/odbc/OdbcHandles.h"

namespace rilo::db::odbc {

class OdbcSession final : public Session {
 public:
  /// Connects; throws DbError(kEngine) when the driver cannot, with its SQLSTATE.
  explicit OdbcSession(const OdbcConnectParameters& parameters);
  ~OdbcSession() override;

  void Execute(std::string_view sql) override;
  ResultSet Query(std::string_view sql) override;
  std::vector<ColumnInfo> Describe(std::string_view sql) override;
  std::int64_t ExecuteWithParams(std::string_view sql, std::span<const Value> params) override;
  std::vector<std::string> PrimaryKeyColumns(std::string_view table) override;

  /// A transaction runs until Commit or Rollback; one left open is rolled back on close.
  void BeginTransaction() override;
  void Commit() override;
  void Rollback() override;

 private:
  /// The text as it goes to the server: on SQL Server every string literal made Unicode.
  std::string OutgoingText(std::string_view sql) const;
  StatementHandle ExecuteDirect(std::string_view sql);
  StatementHandle ExecuteWithValues(std::string_view sql, std::span<const Value> params);
  void EndTransaction(SQLSMALLINT completion, std::string_view action);
  std::vector<std::string> KeyColumnsByCatalog(std::string_view table, bool primary_key);

  // Declared in this order so the connection is freed before its environment.
  EnvironmentHandle environment_;
  ConnectionHandle connection_;
  bool in_transaction_ = false;
  bool sql_server_ = false;  // the server can describe a query's base tables itself
};

}  // namespace rilo::db::odbc
