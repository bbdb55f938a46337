#include "schema/SqliteFile.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <sqlite3.h>

#include <stdexcept>

#include "db/Utf8Path.h"

namespace rilo::schema {
namespace {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};

}  // namespace

void SqliteFile::Closer::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }

SqliteFile::SqliteFile(const std::filesystem::path& file) : file_(file) {
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(db::PathToUtf8(file).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  db_.reset(db);  // owned even when opening failed, so the handle is released
  if (rc != SQLITE_OK) Fail("cannot open");
}

void SqliteFile::Execute(std::string_view sql) {
  const std::string text(sql);
  if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail(text);
  }
}

void SqliteFile::Insert(std::string_view table, const std::vector<std::string_view>& columns,
                        const std::vector<SqlValue>& values) {
  if (columns.size() != values.size() || columns.empty()) {
    throw std::invalid_argument(
        fmt::format("insert into {}: {} columns, {} values", table, columns.size(), values.size()));
  }
  std::string placeholders(2 * columns.size() - 1, ',');
  for (std::size_t i = 0; i < columns.size(); ++i) placeholders[2 * i] = '?';
  const std::string sql = fmt::format("INSERT INTO \"{}\"(\"{}\") VALUES({})", table,
                                      fmt::join(columns, "\",\""), placeholders);

  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail(sql);
  const std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(raw);

  for (std::size_t i = 0; i < values.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    const SqlValue& value = values[i];
    int rc = SQLITE_OK;
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
      rc = sqlite3_bind_int64(raw, at, *number);
    } else if (const auto* real = std::get_if<double>(&value)) {
      rc = sqlite3_bind_double(raw, at, *real);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
      rc = sqlite3_bind_text(raw, at, text->data(), static_cast<int>(text->size()),
                             SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_null(raw, at);
    }
    if (rc != SQLITE_OK) Fail(sql);
  }
  if (sqlite3_step(raw) != SQLITE_DONE) Fail(sql);
}

void SqliteFile::Fail(std::string_view what) const {
  const char* message = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
  throw std::runtime_error(fmt::format("{}: {}: {}", db::PathToUtf8(file_), what, message));
}

}  // namespace rilo::schema
