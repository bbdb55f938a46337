// One side of a store (main or local) as the checks see it: its settings, its connection once
// reached, and the columns its tables have, read once for every check that needs them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "db/Engine.h"
#include "db/access/Connection.h"

namespace rilo::check {

struct Database {
  /// `options` choose how SQL Server is reached.
  explicit Database(std::shared_ptr<db::SessionOptions> options) : connection(std::move(options)) {}

  std::string side;  // "main" or "local", the first word of every check's name
  std::string server;
  std::string user;
  std::string name;  // the database name
  std::string connection_string;
  bool embedded = false;

  db::Connection connection;
  /// Table -> column -> declared type, filled by the tables check; empty until then.
  std::map<std::string, std::map<std::string, std::string>> columns;

  bool reached() const { return connection.State() == db::ObjectState::kOpen; }
  std::string Check(std::string_view what) const { return side + ": " + std::string(what); }
  db::ResultSet Query(std::string_view sql) { return connection.session().Query(sql); }
  void Execute(std::string_view sql) { connection.Execute(sql); }
  bool HasTable(std::string_view table) const { return columns.contains(std::string(table)); }
};

/// "[name]" for SQL text, with ']' doubled.
std::string Bracketed(std::string_view name);
/// "N'text'" for SQL text, with apostrophes doubled.
std::string UnicodeLiteral(std::string_view text);

}  // namespace rilo::check
