#include "db/sqlite/SqliteSession.h"

#include <variant>

#include "db/DbError.h"
#include "db/sql/Names.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/SqlServerErrors.h"
#include "db/sqlite/SystemProcedures.h"
#include "db/sqlite/TsqlTranslator.h"
#include "db/sqlite/ValueConversion.h"

namespace rilo::db::sqlite {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

std::string Text(const char* text) { return text ? text : ""; }

std::vector<ColumnInfo> ColumnsOf(sqlite3_stmt* stmt) {
  std::vector<ColumnInfo> columns;
  const int count = sqlite3_column_count(stmt);
  columns.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    ColumnInfo column{Text(sqlite3_column_name(stmt, i)), {}, {}};
    // Only tables of the session's own database can be written back.
    if (Text(sqlite3_column_database_name(stmt, i)) == "main") {
      column.base_table = Text(sqlite3_column_table_name(stmt, i));
      column.base_column = Text(sqlite3_column_origin_name(stmt, i));
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

void Fetch(sqlite3* db, sqlite3_stmt* stmt, ResultSet& result) {
  result.columns = ColumnsOf(stmt);
  const int count = static_cast<int>(result.columns.size());
  std::vector<DeclaredKind> kinds;
  for (int i = 0; i < count; ++i) {
    kinds.push_back(ClassifyDeclaredType(sqlite3_column_decltype(stmt, i)));
  }
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return;
    if (rc != SQLITE_ROW) ThrowSqliteError(db);
    std::vector<Value>& row = result.rows.emplace_back();
    row.reserve(kinds.size());
    for (int i = 0; i < count; ++i) {
      row.push_back(ColumnValue(stmt, i, kinds[static_cast<std::size_t>(i)]));
    }
  }
}

bool IsUpper(std::string_view type, std::string_view expected) {
  return sql::SameName(type, expected);
}

}  // namespace

SqliteSession::SqliteSession(std::filesystem::path folder, const std::filesystem::path& file,
                             std::string database)
    : folder_(std::move(folder)),
      database_(std::move(database)),
      db_(OpenDatabase(file, SQLITE_OPEN_READWRITE)),
      registry_(folder_),
      linked_(db_.get(), file) {
  // Reading the schema now makes a file that is no database fail here, not at first use.
  RunScript(db_.get(), "PRAGMA foreign_keys = OFF; SELECT count(*) FROM sqlite_schema");
  sqlite3_set_authorizer(db_.get(), &SqliteSession::Authorize, this);
}

int SqliteSession::Authorize(void* self, int action, const char* a, const char* /*b*/,
                             const char* schema, const char* /*trigger*/) {
  auto& session = *static_cast<SqliteSession*>(self);
  if (action != SQLITE_READ && action != SQLITE_INSERT && action != SQLITE_UPDATE &&
      action != SQLITE_DELETE) {
    return SQLITE_OK;
  }
  if (!schema || !a || !session.linked_.IsLinkSchema(schema)) return SQLITE_OK;
  // Links are read-only; a read must come from a four-part name of this statement.
  for (const LinkedUse& use : session.linked_uses_) {
    if (action == SQLITE_READ && use.schema == schema && sql::SameName(use.name.table, a)) {
      return SQLITE_OK;
    }
  }
  session.refused_table_ = a;
  return SQLITE_DENY;
}

std::vector<TranslatedStatement> SqliteSession::Translate(std::string_view sql) {
  linked_uses_.clear();
  return TranslateTsql(sql,
                       [this](const LinkedTableName& name) { return ResolveLinkedName(name); });
}

std::string SqliteSession::ResolveLinkedName(const LinkedTableName& name) {
  const auto server = registry_.Find(name.server);
  if (!server) throw ServerNotInSysServers(name.server);
  const auto folder = EmbeddedFolder(server->data_source);
  if (!folder) throw LinkedServerUnreachable(server->name, server->data_source);
  const auto file = FindDatabaseFile(*folder, name.database);
  if (!file) throw LinkedDatabaseUnavailable(server->name, server->provider, name.database);
  std::string schema = linked_.SchemaFor(*file);
  linked_uses_.push_back({schema, name, server->provider});
  return schema + "." + sql::DoubleQuoteName(name.table);
}

StatementHandle SqliteSession::PrepareStatement(std::string_view sql, std::string_view* rest) {
  refused_table_.reset();
  try {
    try {
      return Prepare(db_.get(), sql, rest);
    } catch (const DbError& e) {
      if (!refused_table_ || e.native_code() != SQLITE_AUTH) throw;
      // The name may be of a table another connection created since this one last read the
      // schema: running anything on main makes SQLite reload it. Then try once more.
      refused_table_.reset();
      RunScript(db_.get(), "SELECT 1 FROM main.sqlite_schema LIMIT 1");
      return Prepare(db_.get(), sql, rest);
    }
  } catch (const DbError& e) {
    // Not in this database: SQL Server would not look elsewhere either.
    if (refused_table_ && e.native_code() == SQLITE_AUTH) throw InvalidObjectName(*refused_table_);
    constexpr std::string_view kNoSuchTable = "no such table: ";
    const std::string_view message = e.what();
    if (!message.starts_with(kNoSuchTable)) throw;
    const std::string_view missing = message.substr(kNoSuchTable.size());
    for (const LinkedUse& use : linked_uses_) {
      if (missing == use.schema + "." + use.name.table) {
        throw LinkedTableMissing(use.name.server, use.provider, use.name.database, use.name.schema,
                                 use.name.table);
      }
    }
    throw;
  }
}

void SqliteSession::Run(const std::string& sql, ResultSet* result) {
  std::string_view rest = sql;
  while (!rest.empty()) {
    std::string_view next;
    StatementHandle stmt = PrepareStatement(rest, &next);
    if (stmt) {
      if (result && result->columns.empty() && sqlite3_column_count(stmt.get()) > 0) {
        Fetch(db_.get(), stmt.get(), *result);
      } else {
        StepToEnd(db_.get(), stmt.get());
      }
    }
    if (next.size() == rest.size()) break;
    rest = next;
  }
}

void SqliteSession::SetIdentityInsert(const IdentityInsert& statement) {
  const std::string& table = statement.table;
  {
    StatementHandle kind =
        Prepare(db_.get(),
                "SELECT wr FROM pragma_table_list WHERE schema = 'main' AND type = 'table' "
                "AND name = ? COLLATE NOCASE");
    BindValue(kind.get(), 1, table);
    const int rc = sqlite3_step(kind.get());
    if (rc == SQLITE_DONE) throw InvalidObjectName(table);
    if (rc != SQLITE_ROW) ThrowSqliteError(db_.get());
    if (sqlite3_column_int(kind.get(), 0) != 0) throw NoIdentityProperty(table);  // no rowid
  }
  // The identity column here is the row id under its own name: the one key column declared
  // exactly INTEGER PRIMARY KEY.
  StatementHandle keys = Prepare(db_.get(), "SELECT type FROM pragma_table_info(?) WHERE pk > 0");
  BindValue(keys.get(), 1, table);
  int key_columns = 0;
  bool integer_key = false;
  for (int rc = sqlite3_step(keys.get()); rc != SQLITE_DONE; rc = sqlite3_step(keys.get())) {
    if (rc != SQLITE_ROW) ThrowSqliteError(db_.get());
    ++key_columns;
    integer_key =
        IsUpper(Text(reinterpret_cast<const char*>(sqlite3_column_text(keys.get(), 0))), "INTEGER");
  }
  if (key_columns != 1 || !integer_key) throw NoIdentityProperty(table);

  // As on SQL Server, one table per session at a time may take explicit identity values.
  if (statement.on) {
    if (identity_insert_on_ && !sql::SameName(*identity_insert_on_, table)) {
      throw IdentityInsertAlreadyOn(database_ + ".dbo." + *identity_insert_on_, table);
    }
    identity_insert_on_ = table;
  } else if (identity_insert_on_ && sql::SameName(*identity_insert_on_, table)) {
    identity_insert_on_.reset();
  }
}

void SqliteSession::Execute(std::string_view sql) {
  for (const TranslatedStatement& statement : Translate(sql)) {
    std::visit(Overloaded{
                   [&](const SqliteText& text) { Run(text.sql, nullptr); },
                   [&](const IdentityInsert& identity) { SetIdentityInsert(identity); },
                   [&](const ProcedureCall& call) { RunSystemProcedure(registry_, call); },
               },
               statement);
  }
}

ResultSet SqliteSession::Query(std::string_view sql) {
  ResultSet result;
  for (const TranslatedStatement& statement : Translate(sql)) {
    std::visit(Overloaded{
                   [&](const SqliteText& text) { Run(text.sql, &result); },
                   [&](const IdentityInsert& identity) { SetIdentityInsert(identity); },
                   [&](const ProcedureCall& call) { RunSystemProcedure(registry_, call); },
               },
               statement);
  }
  return result;
}

std::vector<ColumnInfo> SqliteSession::Describe(std::string_view sql) {
  const auto statements = Translate(sql);
  if (statements.empty() || !std::holds_alternative<SqliteText>(statements.front())) return {};
  StatementHandle stmt = PrepareStatement(std::get<SqliteText>(statements.front()).sql, nullptr);
  return stmt ? ColumnsOf(stmt.get()) : std::vector<ColumnInfo>{};
}

std::int64_t SqliteSession::ExecuteWithParams(std::string_view sql, std::span<const Value> params) {
  const auto statements = Translate(sql);
  if (statements.size() != 1 || !std::holds_alternative<SqliteText>(statements.front())) {
    throw DbError(DbError::Kind::kUsage, "a statement with parameters must be one plain statement");
  }
  std::string_view rest;
  StatementHandle stmt = PrepareStatement(std::get<SqliteText>(statements.front()).sql, &rest);
  // A second statement in the text would be skipped without a word.
  if (stmt && Prepare(db_.get(), rest, nullptr)) {
    throw DbError(DbError::Kind::kUsage, "a statement with parameters must be one plain statement");
  }
  if (!stmt || sqlite3_bind_parameter_count(stmt.get()) != static_cast<int>(params.size())) {
    throw DbError(DbError::Kind::kUsage, "the statement's parameters and the values differ");
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    BindValue(stmt.get(), static_cast<int>(i + 1), params[i]);
  }
  StepToEnd(db_.get(), stmt.get());
  return sqlite3_changes64(db_.get());
}

std::vector<std::string> SqliteSession::PrimaryKeyColumns(std::string_view table) {
  std::vector<std::string> keys;
  StatementHandle stmt =
      Prepare(db_.get(), "SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk");
  BindValue(stmt.get(), 1, std::string(table));
  for (int rc = sqlite3_step(stmt.get()); rc != SQLITE_DONE; rc = sqlite3_step(stmt.get())) {
    if (rc != SQLITE_ROW) ThrowSqliteError(db_.get());
    keys.push_back(Text(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0))));
  }
  if (!keys.empty()) return keys;

  StatementHandle kind =
      Prepare(db_.get(),
              "SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND type = 'table' AND "
              "name = ? COLLATE NOCASE");
  BindValue(kind.get(), 1, std::string(table));
  const int rc = sqlite3_step(kind.get());
  if (rc == SQLITE_ROW) return {"rowid"};  // a table without a declared key still has its row id
  if (rc != SQLITE_DONE) ThrowSqliteError(db_.get());
  return {};  // a view, or no such table: nothing identifies a row
}

void SqliteSession::BeginTransaction() { RunScript(db_.get(), "BEGIN"); }

void SqliteSession::Commit() { RunScript(db_.get(), "COMMIT"); }

void SqliteSession::Rollback() {
  // SQLite may already have rolled back after certain errors (disk full, busy); the caller's
  // wish is then fulfilled.
  if (sqlite3_get_autocommit(db_.get())) return;
  RunScript(db_.get(), "ROLLBACK");
}

}  // namespace rilo::db::sqlite
