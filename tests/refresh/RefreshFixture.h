// Test helpers for the refresh: a sample chain on the embedded engine in a folder of its own,
// snapshots of the master tables read through the access layer, and a log of the statements
// the access layer sends, which can act on or fail a chosen one.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/DbError.h"
#include "db/ModSQL.h"
#include "db/StoreTables.h"
#include "db/Value.h"
#include "db/access/Connection.h"
#include "db/access/Recordset.h"
#include "db/access/StatementHook.h"
#include "rilo/Diagnostics.h"
#include "rilo/SampleChain.h"
#include "support/TestFolder.h"
#include "support/VirtualServer.h"

namespace rilo::refresh::testing {

inline constexpr std::string_view kSep = "\xEF\xBD\x9C";  // U+FF5C

/// A fresh folder for one chain, named after `tag` and unique in the process. Its path is in
/// the form the sample chain writes into its settings (on Windows: drive, backslashes).
class TempDir : public rilo::testing::TestFolder {
 public:
  explicit TempDir(std::string_view tag) : TestFolder(UniqueName(tag)) {}

  std::string source() const { return "sqlite:" + path().string(); }

 private:
  static std::string UniqueName(std::string_view tag) {
    static std::atomic<int> counter{0};
    return "refresh-" + std::string(tag) + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++);
  }
};

inline std::string ConnString(const std::string& source, const std::string& database) {
  return "provider='SQLOLEDB';Data Source=" + source + ";Database=" + database + ";UID=;PWD=;";
}

/// The eight-part settings string.
inline std::string Settings(const std::string& main_source, const std::string& main_user,
                            const std::string& main_password, const std::string& main_database,
                            const std::string& local_source, const std::string& local_database) {
  const std::string sep(kSep);
  return main_source + sep + main_user + sep + main_password + sep + main_database + sep +
         local_source + sep + sep + sep + local_database;
}

inline void Execute(const std::string& source, const std::string& database,
                    const std::string& sql) {
  db::Connection connection;
  connection.SetCursorLocation(db::CursorLocation::kUseClient);
  connection.Open(ConnString(source, database));
  connection.Execute(sql);
  connection.Close();
}

/// Every row of a query, one line each, fields separated by tabs; Null written "<null>".
inline std::vector<std::string> Rows(const std::string& source, const std::string& database,
                                     const std::string& sql) {
  db::Connection connection;
  connection.SetCursorLocation(db::CursorLocation::kUseClient);
  connection.Open(ConnString(source, database));
  db::Recordset rs;
  rs.SetCursorLocation(db::CursorLocation::kUseClient);
  rs.Open(sql, connection, db::CursorType::kStatic, db::LockType::kReadOnly);
  std::vector<std::string> rows;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    std::string line;
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) {
      if (i > 0) line += '\t';
      const db::Value& v = rs.Item(i).GetValue();
      line += db::IsNull(v) ? "<null>" : db::ValueToText(v);
    }
    rows.push_back(std::move(line));
  }
  rs.Close();
  connection.Close();
  return rows;
}

/// The copied columns of every master table, rows in ID order; `filter` is appended to the
/// query of the two store-filtered tables.
using Snapshot = std::map<std::string, std::vector<std::string>>;
inline Snapshot MasterTables(const std::string& source, const std::string& database,
                             const std::string& filter = {}) {
  Snapshot out;
  for (const db::MasterTable& t : db::MasterTablesInCopyOrder()) {
    std::string sql = "SELECT " + std::string(t.columns) + " FROM " + std::string(t.name);
    if (t.filtered_by_store) sql += filter;
    sql += " ORDER BY ID";
    out[std::string(t.name)] = Rows(source, database, sql);
  }
  return out;
}

inline std::size_t TotalRows(const Snapshot& s) {
  std::size_t n = 0;
  for (const auto& [table, rows] : s) n += rows.size();
  return n;
}

/// Records what the access layer sends on the connections of `server`'s thread. `on_execute`
/// sees each Execute text with its 1-based number among Executes and may throw to fail it, as
/// an engine would.
class StatementLog {
 public:
  explicit StatementLog(rilo::testing::VirtualServer& server)
      : hook_(server.statement_hook(),
              [this](db::StatementKind kind, std::string_view text) { Sent(kind, text); }) {}

  std::vector<std::string> executed;
  std::vector<std::string> opened;
  std::function<void(int number, std::string_view text)> on_execute;
  std::function<void(int number)> on_open;

 private:
  void Sent(db::StatementKind kind, std::string_view text) {
    if (kind == db::StatementKind::kOpen) {
      opened.emplace_back(text);
      if (on_open) on_open(static_cast<int>(opened.size()));
    } else if (kind == db::StatementKind::kExecute) {
      executed.emplace_back(text);
      if (on_execute) on_execute(static_cast<int>(executed.size()), text);
    }
  }

  db::ScopedStatementHook hook_;
};

inline db::DbError InjectedFailure() {
  return db::DbError(db::DbError::Kind::kEngine, "injected failure", "HY000", 50000);
}

/// A sample chain: main database HQ and local database Store in one folder.
struct Chain {
  explicit Chain(std::string_view tag, std::uint32_t seed = 1, std::string main_database = "HQ")
      : dir(tag) {
    schema::SampleChainOptions options;
    options.dir = dir.path();
    options.seed = seed;
    options.main_database = std::move(main_database);
    info = schema::CreateSampleChain(options);
  }
  std::string source() const { return dir.source(); }
  std::string settings() const { return info.settings_string; }

  /// The master tables of the local database, and of the main database as a refresh for
  /// `store` copies them.
  Snapshot LocalTables() const { return MasterTables(source(), info.local_database); }
  Snapshot MainTables(const std::string& store) const {
    return MasterTables(source(), info.main_database,
                        " WHERE 所属分店='全部分店' or 所属分店 = '" + store + "'");
  }

  TempDir dir;
  schema::SampleChain info;
};

}  // namespace rilo::refresh::testing

namespace rilo::refresh::testing {

/// Keeps every diagnostics line.
class RecordingSink : public DiagnosticsSink {
 public:
  void Write(LogLevel, std::string_view where, std::string_view message) override {
    lines.push_back(std::string(where) + ": " + std::string(message));
  }
  std::vector<std::string> lines;
};

}  // namespace rilo::refresh::testing
