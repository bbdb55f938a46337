// A SQLite file opened directly through the C library, for creating store databases without
// the access layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace rilo::schema {

using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

class SqliteFile {
 public:
  /// Opens the file, creating it when missing. Throws std::runtime_error with SQLite's message.
  explicit SqliteFile(const std::filesystem::path& file);

  /// Runs one or more statements. Throws std::runtime_error with SQLite's message.
  void Execute(std::string_view sql);

  /// Inserts one row; `columns` and `values` pair up. Throws std::runtime_error.
  void Insert(std::string_view table, const std::vector<std::string_view>& columns,
              const std::vector<SqlValue>& values);

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept;
  };
  [[noreturn]] void Fail(std::string_view what) const;

  std::filesystem::path file_;
  std::unique_ptr<sqlite3, Closer> db_;
};

}  // namespace rilo::schema
