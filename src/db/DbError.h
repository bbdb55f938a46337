// The one exception type of the access layer and its engines.
#pragma once

#include <stdexcept>
#include <string>

namespace rilo::db {

class DbError : public std::runtime_error {
 public:
  enum class Kind {
    kEngine,      // the engine refused or failed: SQL error, lost connection, login refused
    kRowChanged,  // a write-back found its row changed or gone: nothing was written
    kUsage,       // the layer was used wrongly: closed object, no current row, unknown field
  };

  DbError(Kind kind, std::string message, std::string sqlstate = {}, long native_code = 0)
      : std::runtime_error(std::move(message)),
        kind_(kind),
        sqlstate_(std::move(sqlstate)),
        native_code_(native_code) {}

  Kind kind() const { return kind_; }
  /// ODBC SQLSTATE, or the SQL Server-like state the embedded engine gives; may be empty.
  const std::string& sqlstate() const { return sqlstate_; }
  /// SQL Server's error number, ODBC's native code, or SQLite's extended result code.
  long native_code() const { return native_code_; }

 private:
  Kind kind_;
  std::string sqlstate_;
  long native_code_;
};

}  // namespace rilo::db
