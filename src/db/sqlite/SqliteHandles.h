// Owning handles over SQLite's C objects, and the errors SQLite reports as DbError.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string_view>

namespace rilo::db::sqlite {

struct DatabaseCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

/// Throws DbError(kEngine) with SQLite's current message and extended result code of `db`.
[[noreturn]] void ThrowSqliteError(sqlite3* db);

/// Puts the database of `db` in WAL mode, where readers never block a writer, when it can
/// be switched at once. The mode stays with the file. Leaves `db` without a busy timeout.
void PreferWriteAheadLog(sqlite3* db) noexcept;

/// Opens `file` with `flags` (SQLITE_OPEN_*) and a busy timeout, since several processes
/// share the files. The file is put in WAL mode if it can be (PreferWriteAheadLog), and sum()
/// adds decimals exactly (RegisterExactSum). URI file names are read in ATTACH (the file name
/// itself must then not start with "file:"; an absolute path never does). Throws DbError.
DatabaseHandle OpenDatabase(const std::filesystem::path& file, int flags);

/// Prepares the first statement of `sql`; `rest` receives what follows it. A text holding
/// only blanks or comments gives an empty handle. Throws DbError.
StatementHandle Prepare(sqlite3* db, std::string_view sql, std::string_view* rest = nullptr);

/// Steps `stmt` until it is done, discarding rows. Throws DbError.
void StepToEnd(sqlite3* db, sqlite3_stmt* stmt);

/// Runs every statement of `sql`, discarding rows. Throws DbError.
void RunScript(sqlite3* db, std::string_view sql);

}  // namespace rilo::db::sqlite
