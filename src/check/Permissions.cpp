#include "check/Permissions.h"

#include "check/CheckList.h"
#include "db/Value.h"

namespace rilo::check {
namespace {

// Rolls back on every path, so a probe leaves the database as it found it.
class RolledBack {
 public:
  explicit RolledBack(db::Connection& connection) : connection_(connection) {
    connection_.BeginTrans();
  }
  ~RolledBack() {
    try {
      connection_.RollbackTrans();
    } catch (...) {
      // Closing the connection ends the transaction too.
    }
  }
  RolledBack(const RolledBack&) = delete;
  RolledBack& operator=(const RolledBack&) = delete;

 private:
  db::Connection& connection_;
};

}  // namespace

std::vector<TablePermission> RefusedTablePermissions(Database& database,
                                                     const std::vector<TablePermission>& wanted) {
  std::string sql = "SELECT ";
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += "HAS_PERMS_BY_NAME(" + UnicodeLiteral("[dbo]." + Bracketed(wanted[i].table)) +
           ", N'OBJECT', " + UnicodeLiteral(wanted[i].permission) + ")";
  }
  const db::ResultSet result = database.Query(sql);
  std::vector<TablePermission> refused;
  if (result.rows.empty()) return refused;
  const auto& row = result.rows[0];
  for (std::size_t i = 0; i < wanted.size() && i < row.size(); ++i) {
    const auto* granted = std::get_if<std::int64_t>(&row[i]);
    if (granted && *granted == 0) {
      refused.push_back(wanted[i]);
    }
  }
  return refused;
}

std::string DescribeRefused(const std::vector<TablePermission>& refused) {
  std::vector<std::string> items;
  for (const TablePermission& p : refused) items.push_back(p.permission + " on " + p.table);
  return ListSome(items);
}

std::string GrantsFor(const std::vector<TablePermission>& refused, std::string_view user) {
  std::string grants;
  for (const TablePermission& p : refused) {
    if (!grants.empty()) grants += " ";
    grants += "GRANT " + p.permission + " ON [dbo]." + Bracketed(p.table) + " TO " +
              Bracketed(user) + ";";
  }
  return grants;
}

std::string ReadOnlyState(Database& database) {
  const db::ResultSet result =
      database.Query("SELECT CAST(DATABASEPROPERTYEX(DB_NAME(), 'Updateability') AS nvarchar(20))");
  if (result.rows.empty() || result.rows[0].empty()) return {};
  return db::ValueToText(result.rows[0][0]) == "READ_ONLY" ? "read-only" : "";
}

void TryWrite(Database& database, std::string_view write) {
  const RolledBack transaction(database.connection);
  database.Execute(write);
}

}  // namespace rilo::check
