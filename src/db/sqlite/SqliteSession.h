// One connection of the embedded engine: a SQLite database file that runs this server's T-SQL.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/Engine.h"
#include "db/sqlite/LinkedDatabases.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "db/sqlite/SqliteHandles.h"
#include "db/sqlite/TranslatedStatement.h"

namespace rilo::db::sqlite {

class SqliteSession final : public Session {
 public:
  /// Opens `file`, the database `database` of the engine folder `folder`. Throws DbError.
  SqliteSession(std::filesystem::path folder, const std::filesystem::path& file,
                std::string database);

  void Execute(std::string_view sql) override;
  ResultSet Query(std::string_view sql) override;
  std::vector<ColumnInfo> Describe(std::string_view sql) override;
  std::int64_t ExecuteWithParams(std::string_view sql, std::span<const Value> params) override;
  std::vector<std::string> PrimaryKeyColumns(std::string_view table) override;
  void BeginTransaction() override;
  void Commit() override;
  void Rollback() override;

 private:
  // A four-part name met in the statement being translated, for reporting a missing table.
  struct LinkedUse {
    std::string schema;
    LinkedTableName name;
    std::string provider;
  };

  std::vector<TranslatedStatement> Translate(std::string_view sql);
  std::string ResolveLinkedName(const LinkedTableName& name);
  // Runs SQLite text; the first statement returning columns fills `result`, when given.
  void Run(const std::string& sql, ResultSet* result);
  void SetIdentityInsert(const IdentityInsert& statement);
  // Prepares one statement, turning a missing table behind a link into SQL Server's error.
  StatementHandle PrepareStatement(std::string_view sql, std::string_view* rest);
  // SQLite looks for an unqualified name in attached databases too; a table of a linked
  // database may only be reached through a four-part name of the statement.
  static int Authorize(void* self, int action, const char* a, const char* b, const char* schema,
                       const char* trigger);

  std::filesystem::path folder_;
  std::string database_;
  DatabaseHandle db_;
  LinkedServerRegistry registry_;
  LinkedDatabases linked_;
  std::vector<LinkedUse> linked_uses_;
  std::optional<std::string> refused_table_;  // a linked table the last prepare reached wrongly
  std::optional<std::string> identity_insert_on_;
};

}  // namespace rilo::db::sqlite
