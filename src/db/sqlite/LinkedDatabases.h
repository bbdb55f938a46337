// The database files a session reads through linked servers, attached read-only under
// private schema names. Attached once per session and kept: SQLite cannot detach inside a
// transaction, so they go when the session closes (or, outside a transaction, when the attach limit
// nears).
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>

namespace rilo::db::sqlite {

class LinkedDatabases {
 public:
  /// `main_file` is the session's own database, which is never read through a link.
  LinkedDatabases(sqlite3* db, std::filesystem::path main_file);

  /// The schema name `file` is readable under, attaching it first if needed. Throws DbError,
  /// also when `file` is the session's own database.
  std::string SchemaFor(const std::filesystem::path& file);

  /// True when `schema` is one of the private names this object attached.
  bool IsLinkSchema(std::string_view schema) const;

 private:
  void DetachAllIfIdle();

  sqlite3* db_;
  std::filesystem::path main_file_;
  std::map<std::filesystem::path, std::string> schemas_;
  int next_number_ = 1;
};

}  // namespace rilo::db::sqlite
