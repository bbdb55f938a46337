// A SQLite file opened directly through the engine's handles, for creating store databases
// without the access layer.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "db/Value.h"
#include "db/sqlite/SqliteHandles.h"

namespace rilo::schema {

class SqliteFile {
 public:
  /// Opens the file, creating it when missing. Throws std::runtime_error naming the file, with
  /// SQLite's message.
  explicit SqliteFile(const std::filesystem::path& file);

  /// Runs one or more statements. Throws std::runtime_error with SQLite's message.
  void Execute(std::string_view sql);

  /// Inserts one row; `columns` and `values` pair up. Throws std::runtime_error.
  void Insert(std::string_view table, const std::vector<std::string_view>& columns,
              const std::vector<db::Value>& values);

 private:
  std::filesystem::path file_;
  db::sqlite::DatabaseHandle db_;
};

}  // namespace rilo::schema
