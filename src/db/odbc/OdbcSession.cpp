#include "db/odbc/OdbcSession.h"

#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "db/DbError.h"
#include "db/odbc/OdbcDiagnostics.h"
#include "db/odbc/OdbcParameters.h"
#include "db/odbc/OdbcResultReader.h"
#include "db/odbc/OdbcText.h"
#include "db/odbc/QualifiedName.h"
#include "db/odbc/SqlServerSources.h"
#include "db/odbc/UnicodeLiterals.h"

namespace rilo::db::odbc {
namespace {

// Messages never carry the SQL text: some statements carry passwords.
constexpr std::string_view kRunning = "running a statement";

void CheckStatement(SQLRETURN rc, SQLHSTMT statement, std::string_view action) {
  Check(rc, SQL_HANDLE_STMT, statement, action);
}

// Steps through every further result of a batch, so that an error of a later statement
// surfaces and the batch has run to its end when the call returns.
void DrainResults(SQLHSTMT statement) {
  for (;;) {
    const SQLRETURN rc = SQLMoreResults(statement);
    if (rc == SQL_NO_DATA) return;
    CheckStatement(rc, statement, kRunning);
  }
}

// An executed statement's outcome; no data is a success (an UPDATE that matched nothing).
void CheckExecuted(SQLRETURN rc, SQLHSTMT statement) {
  if (rc != SQL_NO_DATA) CheckStatement(rc, statement, kRunning);
}

void Prepare(SQLHSTMT statement, std::string_view sql) {
  WideText text(sql);
  CheckStatement(SQLPrepareW(statement, text.data(), static_cast<SQLINTEGER>(text.size())),
                 statement, "preparing a statement");
}

// The first result that has columns (row counts of statements before a query are results
// too), fetched whole; then the rest of the batch runs.
ResultSet ReadFirstResult(SQLHSTMT statement) {
  std::vector<OdbcColumn> columns = DescribeColumns(statement);
  while (columns.empty()) {
    const SQLRETURN rc = SQLMoreResults(statement);
    if (rc == SQL_NO_DATA) return {};
    CheckStatement(rc, statement, kRunning);
    columns = DescribeColumns(statement);
  }
  ResultSet result;
  result.rows = FetchRows(statement, columns);
  DrainResults(statement);
  result.columns.reserve(columns.size());
  for (OdbcColumn& column : columns) result.columns.push_back(std::move(column.info));
  return result;
}

bool IsSqlServer(SQLHDBC connection) {
  SQLWCHAR name[128] = {};
  SQLSMALLINT bytes = 0;
  if (!SQL_SUCCEEDED(SQLGetInfoW(connection, SQL_DBMS_NAME, name, sizeof name, &bytes))) {
    return false;
  }
  return FromWideTerminated(name, std::size(name) - 1) == "Microsoft SQL Server";
}

// The catalog, schema and table parts of a table name, absent parts as null.
struct CatalogName {
  explicit CatalogName(std::string_view table) {
    std::vector<std::string> parts = SplitQualifiedName(table);
    if (parts.size() > 3) {
      throw DbError(DbError::Kind::kUsage,
                    "table name '" + std::string(table) + "' has too many parts");
    }
    table_.emplace(parts.back());
    if (parts.size() >= 2) schema_.emplace(parts[parts.size() - 2]);
    if (parts.size() == 3) catalog_.emplace(parts[0]);
  }
  SQLWCHAR* catalog() { return catalog_ ? catalog_->data() : nullptr; }
  SQLWCHAR* schema() { return schema_ ? schema_->data() : nullptr; }
  SQLWCHAR* table() { return table_->data(); }
  SQLSMALLINT catalog_size() const { return Size(catalog_); }
  SQLSMALLINT schema_size() const { return Size(schema_); }
  SQLSMALLINT table_size() const { return Size(table_); }

 private:
  static SQLSMALLINT Size(const std::optional<WideText>& part) {
    return part ? static_cast<SQLSMALLINT>(part->size()) : 0;
  }
  std::optional<WideText> catalog_, schema_, table_;
};

}  // namespace

OdbcSession::OdbcSession(const OdbcConnectParameters& parameters)
    : environment_(AllocateEnvironment()), connection_(AllocateConnection(environment_.get())) {
  SQLHDBC dbc = connection_.get();
  if (parameters.login_timeout_seconds) {
    Check(SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(
                                 static_cast<std::uintptr_t>(*parameters.login_timeout_seconds)),
                             SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, dbc, "setting the login timeout");
  }
  WideText text(parameters.connection_string);
  const SQLRETURN rc =
      SQLDriverConnectW(dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()), nullptr,
                        0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    throw OdbcError(
        SQL_HANDLE_DBC, dbc,
        "connecting to server '" + parameters.server + "', database '" + parameters.database + "'",
        parameters.password);
  }
  sql_server_ = IsSqlServer(dbc);
}

OdbcSession::~OdbcSession() {
  if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
}

std::string OdbcSession::OutgoingText(std::string_view sql) const {
  return sql_server_ ? WithUnicodeLiterals(sql) : std::string(sql);
}

StatementHandle OdbcSession::ExecuteDirect(std::string_view sql) {
  StatementHandle statement = AllocateStatement(connection_.get());
  WideText text(OutgoingText(sql));
  CheckExecuted(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
                statement.get());
  return statement;
}

void OdbcSession::Execute(std::string_view sql) { DrainResults(ExecuteDirect(sql).get()); }

ResultSet OdbcSession::Query(std::string_view sql) {
  return ReadFirstResult(ExecuteDirect(sql).get());
}

std::vector<ColumnInfo> OdbcSession::Describe(std::string_view sql) {
  StatementHandle statement = AllocateStatement(connection_.get());
  Prepare(statement.get(), OutgoingText(sql));
  std::vector<ColumnInfo> infos;
  for (OdbcColumn& column : DescribeColumns(statement.get())) {
    infos.push_back(std::move(column.info));
  }
  const bool untraced =
      std::ranges::any_of(infos, [](const ColumnInfo& info) { return info.base_table.empty(); });
  if (sql_server_ && untraced) {
    // Only a richer answer is sought: a server that cannot give it (before 2012, or a query it
    // will not describe) leaves what the driver said.
    try {
      const std::vector<Value> text = {std::string(sql)};
      AddServerSources(infos, ReadFirstResult(ExecuteWithValues(kDescribeSourcesSql, text).get()));
    } catch (const DbError&) {
    }
  }
  return infos;
}

StatementHandle OdbcSession::ExecuteWithValues(std::string_view sql,
                                               std::span<const Value> params) {
  StatementHandle statement = AllocateStatement(connection_.get());
  SQLHSTMT stmt = statement.get();
  Prepare(stmt, OutgoingText(sql));
  SQLSMALLINT markers = 0;
  if (SQL_SUCCEEDED(SQLNumParams(stmt, &markers)) &&
      static_cast<std::size_t>(markers) != params.size()) {
    throw DbError(DbError::Kind::kUsage, "the statement has " + std::to_string(markers) +
                                             " parameters but " + std::to_string(params.size()) +
                                             " values were given");
  }
  const OdbcParameters bound(stmt, params);
  CheckExecuted(SQLExecute(stmt), stmt);
  return statement;
}

std::int64_t OdbcSession::ExecuteWithParams(std::string_view sql, std::span<const Value> params) {
  if (sql_server_) {
    // The count the driver reports is missing when the server's user options say NOCOUNT, and
    // can be a trigger's when the trigger does not say NOCOUNT; @@ROWCOUNT read in the same
    // batch is the statement's own. The line break ends a trailing "--" comment.
    const ResultSet counted = ReadFirstResult(
        ExecuteWithValues(std::string(sql) + "\n;SELECT @@ROWCOUNT", params).get());
    const auto* rows = counted.rows.size() == 1 && counted.rows[0].size() == 1
                           ? std::get_if<std::int64_t>(&counted.rows[0][0])
                           : nullptr;
    if (!rows) throw DbError(DbError::Kind::kEngine, "the server did not report a row count");
    return *rows;
  }
  StatementHandle statement = ExecuteWithValues(sql, params);
  SQLLEN rows = 0;
  CheckStatement(SQLRowCount(statement.get(), &rows), statement.get(), "counting changed rows");
  DrainResults(statement.get());
  return rows;
}

std::vector<std::string> OdbcSession::KeyColumnsByCatalog(std::string_view table,
                                                          bool primary_key) {
  CatalogName name(table);
  StatementHandle statement = AllocateStatement(connection_.get());
  SQLHSTMT stmt = statement.get();
  SQLRETURN rc;
  std::size_t name_column;
  if (primary_key) {
    rc = SQLPrimaryKeysW(stmt, name.catalog(), name.catalog_size(), name.schema(),
                         name.schema_size(), name.table(), name.table_size());
    name_column = 3;  // COLUMN_NAME, then KEY_SEQ
  } else {
    // Columns that find the row for the rest of the session and are never NULL, so that
    // "column = value" finds it.
    rc = SQLSpecialColumnsW(stmt, SQL_BEST_ROWID, name.catalog(), name.catalog_size(),
                            name.schema(), name.schema_size(), name.table(), name.table_size(),
                            SQL_SCOPE_SESSION, SQL_NO_NULLS);
    name_column = 1;  // COLUMN_NAME
  }
  CheckStatement(rc, stmt, "reading the key of a table");
  std::vector<std::vector<Value>> rows = FetchRows(stmt, DescribeColumns(stmt));
  if (primary_key) {
    std::ranges::stable_sort(rows, {}, [](const std::vector<Value>& row) {
      const auto* sequence = std::get_if<std::int64_t>(&row.at(4));
      return sequence ? *sequence : 0;
    });
  }
  std::vector<std::string> columns;
  for (const std::vector<Value>& row : rows) {
    if (const auto* column = std::get_if<std::string>(&row.at(name_column))) {
      columns.push_back(*column);
    }
  }
  return columns;
}

std::vector<std::string> OdbcSession::PrimaryKeyColumns(std::string_view table) {
  std::vector<std::string> columns = KeyColumnsByCatalog(table, true);
  if (columns.empty()) columns = KeyColumnsByCatalog(table, false);
  return columns;
}

void OdbcSession::BeginTransaction() {
  if (in_transaction_) throw DbError(DbError::Kind::kUsage, "a transaction is already open");
  Check(SQLSetConnectAttrW(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, connection_.get(), "beginning a transaction");
  in_transaction_ = true;
}

void OdbcSession::Commit() { EndTransaction(SQL_COMMIT, "committing"); }

void OdbcSession::Rollback() { EndTransaction(SQL_ROLLBACK, "rolling back"); }

void OdbcSession::EndTransaction(SQLSMALLINT completion, std::string_view action) {
  if (!in_transaction_) throw DbError(DbError::Kind::kUsage, "no transaction is open");
  SQLHDBC dbc = connection_.get();
  // A failed commit leaves the transaction open, for a rollback to end.
  Check(SQLEndTran(SQL_HANDLE_DBC, dbc, completion), SQL_HANDLE_DBC, dbc, action);
  in_transaction_ = false;
  Check(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, dbc, "returning to autocommit");
}

}  // namespace rilo::db::odbc
