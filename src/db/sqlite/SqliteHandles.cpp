#include "db/sqlite/SqliteHandles.h"

#include <climits>
#include <string>

#include "db/DbError.h"
#include "db/Utf8Path.h"
#include "db/sqlite/ExactSum.h"

namespace rilo::db::sqlite {
namespace {

// Long enough for another process's refresh (a few hundred milliseconds) to commit, short
// enough that a lock that is never released is reported rather than waited out.
constexpr int kBusyTimeoutMs = 5000;

}  // namespace

void PreferWriteAheadLog(sqlite3* db) noexcept {
  // Switching needs the file to itself: with no wait, a file in use is switched by a later
  // open instead of holding this one up. A read-only file keeps its mode; so does one that
  // is no database, which the caller's first read reports.
  sqlite3_busy_timeout(db, 0);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
}

void ThrowSqliteError(sqlite3* db) {
  throw DbError(DbError::Kind::kEngine, sqlite3_errmsg(db), "HY000", sqlite3_extended_errcode(db));
}

DatabaseHandle OpenDatabase(const std::filesystem::path& file, int flags) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(PathToUtf8(file).c_str(), &raw, flags | SQLITE_OPEN_URI | SQLITE_OPEN_EXRESCODE, nullptr);
  DatabaseHandle db(raw);
  if (rc != SQLITE_OK) {
    if (!db) throw DbError(DbError::Kind::kEngine, sqlite3_errstr(rc), "HY000", rc);
    ThrowSqliteError(db.get());
  }
  sqlite3_extended_result_codes(db.get(), 1);
  PreferWriteAheadLog(db.get());
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  RegisterExactSum(db.get());
  return db;
}

StatementHandle Prepare(sqlite3* db, std::string_view sql, std::string_view* rest) {
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
    throw DbError(DbError::Kind::kUsage, "SQL text too long");
  }
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, &tail);
  StatementHandle stmt(raw);
  if (rc != SQLITE_OK) ThrowSqliteError(db);
  if (rest) *rest = sql.substr(static_cast<std::size_t>(tail - sql.data()));
  return stmt;
}

void StepToEnd(sqlite3* db, sqlite3_stmt* stmt) {
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return;
    if (rc != SQLITE_ROW) ThrowSqliteError(db);
  }
}

void RunScript(sqlite3* db, std::string_view sql) {
  while (!sql.empty()) {
    std::string_view rest;
    StatementHandle stmt = Prepare(db, sql, &rest);
    if (stmt) StepToEnd(db, stmt.get());
    if (rest.size() == sql.size()) break;
    sql = rest;
  }
}

}  // namespace rilo::db::sqlite
