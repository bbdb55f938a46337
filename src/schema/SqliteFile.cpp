#include "schema/SqliteFile.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <stdexcept>
#include <string>

#include "db/DbError.h"
#include "db/Utf8Path.h"
#include "db/sqlite/ValueConversion.h"

namespace rilo::schema {
namespace {

// Runs `action`; an engine error comes out naming the file and what was done.
template <class Action>
auto NamingTheFile(const std::filesystem::path& file, std::string_view what, Action&& action) {
  try {
    return std::forward<Action>(action)();
  } catch (const db::DbError& e) {
    throw std::runtime_error(fmt::format("{}: {}: {}", db::PathToUtf8(file), what, e.what()));
  }
}

}  // namespace

// An absolute path is never read as a "file:" URI.
SqliteFile::SqliteFile(const std::filesystem::path& file)
    : file_(file), db_(NamingTheFile(file, "cannot open", [&] {
        return db::sqlite::OpenDatabase(std::filesystem::absolute(file),
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
      })) {}

void SqliteFile::Execute(std::string_view sql) {
  NamingTheFile(file_, sql, [&] { db::sqlite::RunScript(db_.get(), sql); });
}

void SqliteFile::Insert(std::string_view table, const std::vector<std::string_view>& columns,
                        const std::vector<db::Value>& values) {
  if (columns.size() != values.size() || columns.empty()) {
    throw std::invalid_argument(
        fmt::format("insert into {}: {} columns, {} values", table, columns.size(), values.size()));
  }
  std::string placeholders(2 * columns.size() - 1, ',');
  for (std::size_t i = 0; i < columns.size(); ++i) placeholders[2 * i] = '?';
  const std::string sql = fmt::format("INSERT INTO \"{}\"(\"{}\") VALUES({})", table,
                                      fmt::join(columns, "\",\""), placeholders);
  NamingTheFile(file_, sql, [&] {
    const db::sqlite::StatementHandle statement = db::sqlite::Prepare(db_.get(), sql);
    for (std::size_t i = 0; i < values.size(); ++i) {
      db::sqlite::BindValue(statement.get(), static_cast<int>(i) + 1, values[i]);
    }
    db::sqlite::StepToEnd(db_.get(), statement.get());
  });
}

}  // namespace rilo::schema
