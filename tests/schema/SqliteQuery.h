// Reading a SQLite file in tests: plain queries, every value as text.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include "db/Utf8Path.h"

namespace rilo::schema::testing {

inline constexpr const char* kNull = "<null>";

/// A scratch folder for one test, emptied first.
inline std::filesystem::path ScratchDir(const std::string& name) {
  const auto dir = std::filesystem::path(RILO_TEST_TMPDIR) / "schema" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

class SqliteQuery {
 public:
  /// Opens an existing file, or creates it when `create` is set.
  explicit SqliteQuery(const std::filesystem::path& file, bool create = false) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(rilo::db::PathToUtf8(file).c_str(), &db, flags, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
  }

  /// Runs statements that return nothing.
  void Execute(const std::string& sql) {
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
    }
  }

  /// All rows of a query, Null written as kNull.
  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
    }
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw,
                                                                               &sqlite3_finalize);
    std::vector<std::vector<std::string>> rows;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(raw); ++i) {
        const auto* text = sqlite3_column_text(raw, i);
        row.emplace_back(text == nullptr ? kNull : reinterpret_cast<const char*>(text));
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
    return rows;
  }

  /// The first column of every row.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    for (auto& row : Rows(sql)) values.push_back(row.at(0));
    return values;
  }

  /// The single value of a query.
  std::string Value(const std::string& sql) {
    const auto rows = Rows(sql);
    if (rows.size() != 1 || rows[0].empty()) throw std::runtime_error("not one value: " + sql);
    return rows[0][0];
  }

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Closer> db_;
};

}  // namespace rilo::schema::testing
