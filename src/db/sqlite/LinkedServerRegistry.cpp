#include "db/sqlite/LinkedServerRegistry.h"

#include "db/DbError.h"
#include "db/sqlite/SqlServerErrors.h"
#include "db/sqlite/SqliteHandles.h"

namespace rilo::db::sqlite {
namespace {

constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS servers("
    "  name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    "  product TEXT NOT NULL, provider TEXT NOT NULL, data_source TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS logins("
    "  server TEXT NOT NULL COLLATE NOCASE, local_login TEXT,"
    "  use_self INTEGER NOT NULL, remote_user TEXT)";

// One change of the registry: BEGIN IMMEDIATE takes the write lock at once, so two processes
// adding the same name are serialised and the second sees the first's row.
class Change {
 public:
  explicit Change(const std::filesystem::path& file)
      : db_(OpenDatabase(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) {
    RunScript(db_.get(), "BEGIN IMMEDIATE");
    RunScript(db_.get(), kSchema);
  }
  ~Change() {
    if (!committed_) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;

  sqlite3* db() const { return db_.get(); }
  void Commit() {
    RunScript(db_.get(), "COMMIT");
    committed_ = true;
  }

 private:
  DatabaseHandle db_;
  bool committed_ = false;
};

void Bind(sqlite3_stmt* stmt, int index, const std::optional<std::string>& text) {
  const int rc = text ? sqlite3_bind_text64(stmt, index, text->data(), text->size(),
                                            SQLITE_TRANSIENT, SQLITE_UTF8)
                      : sqlite3_bind_null(stmt, index);
  if (rc != SQLITE_OK) ThrowSqliteError(sqlite3_db_handle(stmt));
}

StatementHandle Statement(sqlite3* db, std::string_view sql,
                          std::initializer_list<std::optional<std::string>> params) {
  StatementHandle stmt = Prepare(db, sql);
  int index = 0;
  for (const auto& param : params) Bind(stmt.get(), ++index, param);
  return stmt;
}

bool HasRow(sqlite3* db, std::string_view sql, const std::string& name) {
  StatementHandle stmt = Statement(db, sql, {name});
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) ThrowSqliteError(db);
  return rc == SQLITE_ROW;
}

void Run(sqlite3* db, std::string_view sql,
         std::initializer_list<std::optional<std::string>> params) {
  StatementHandle stmt = Statement(db, sql, params);
  StepToEnd(db, stmt.get());
}

std::string Column(sqlite3_stmt* stmt, int column) {
  const auto* text = sqlite3_column_text(stmt, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

constexpr std::string_view kServerExists = "SELECT 1 FROM servers WHERE name = ?";

}  // namespace

LinkedServerRegistry::LinkedServerRegistry(const std::filesystem::path& folder)
    : file_(folder / ".linked_servers.db") {}

void LinkedServerRegistry::Add(const LinkedServer& server) {
  Change change(file_);
  if (HasRow(change.db(), kServerExists, server.name)) throw ServerExists(server.name);
  Run(change.db(), "INSERT INTO servers(name, product, provider, data_source) VALUES(?,?,?,?)",
      {server.name, server.product, server.provider, server.data_source});
  change.Commit();
}

void LinkedServerRegistry::AddLogin(const LinkedLogin& login) {
  Change change(file_);
  if (!HasRow(change.db(), kServerExists, login.server)) throw ServerMissing(login.server);
  Run(change.db(), "DELETE FROM logins WHERE server = ? AND local_login IS ?",
      {login.server, login.local_login});
  Run(change.db(), "INSERT INTO logins(server, local_login, use_self, remote_user) VALUES(?,?,?,?)",
      {login.server, login.local_login, std::string(login.use_self ? "1" : "0"),
       login.remote_user});
  change.Commit();
}

void LinkedServerRegistry::Drop(std::string_view name, bool drop_logins) {
  const std::string server(name);
  Change change(file_);
  if (!HasRow(change.db(), kServerExists, server)) throw ServerMissing(server);
  if (!drop_logins && HasRow(change.db(), "SELECT 1 FROM logins WHERE server = ?", server)) {
    throw ServerHasLogins(server);
  }
  Run(change.db(), "DELETE FROM logins WHERE server = ?", {server});
  Run(change.db(), "DELETE FROM servers WHERE name = ?", {server});
  change.Commit();
}

std::optional<LinkedServer> LinkedServerRegistry::Find(std::string_view name) const {
  std::error_code error;
  if (!std::filesystem::exists(file_, error)) return std::nullopt;  // nothing was ever linked
  DatabaseHandle db = OpenDatabase(file_, SQLITE_OPEN_READWRITE);
  RunScript(db.get(), kSchema);
  StatementHandle stmt =
      Statement(db.get(), "SELECT name, product, provider, data_source FROM servers WHERE name = ?",
                {std::string(name)});
  const int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) ThrowSqliteError(db.get());
  return LinkedServer{Column(stmt.get(), 0), Column(stmt.get(), 1), Column(stmt.get(), 2),
                      Column(stmt.get(), 3)};
}

}  // namespace rilo::db::sqlite
