// What a T-SQL text becomes for the embedded engine: SQLite text, or one of the statements
// the engine carries out itself.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rilo::db::sqlite {

/// A four-part name server.database.schema.table.
struct LinkedTableName {
  std::string server;
  std::string database;
  std::string schema;
  std::string table;
};

/// Gives the SQLite text that stands for a four-part name; throws DbError when it cannot.
using LinkedNameResolver = std::function<std::string(const LinkedTableName&)>;

/// SET IDENTITY_INSERT table ON|OFF.
struct IdentityInsert {
  std::string table;  // the last part of the name, unquoted
  bool on = false;
};

/// EXEC procedure arguments.
struct ProcedureArgument {
  std::string parameter;             // "@server" for a named argument, empty when positional
  std::optional<std::string> value;  // nothing for null or DEFAULT
};
struct ProcedureCall {
  std::string procedure;  // the last part of the name, unquoted
  std::vector<ProcedureArgument> arguments;
};

/// Statements SQLite can run as they stand after translation.
struct SqliteText {
  std::string sql;
};

using TranslatedStatement = std::variant<SqliteText, IdentityInsert, ProcedureCall>;

}  // namespace rilo::db::sqlite
