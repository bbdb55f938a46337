#include "check/Checks.h"
#include "db/DbError.h"
#include "schema/TableCatalogue.h"

namespace rilo::check {
namespace {

// SQL Server's "Table 'x' does not have the identity property."
constexpr long kNoIdentity = 8106;

}  // namespace

void CheckIdentityInsert(CheckList& list, Database& local) {
  const std::string name = local.Check("SET IDENTITY_INSERT");
  std::vector<std::string> without_identity;
  std::vector<std::string> refused;
  for (const schema::StoreTable& table : schema::StoreTableCatalogue()) {
    if (!table.master || !local.HasTable(table.name)) continue;
    const std::string target = Bracketed(table.name);
    try {
      // Switches a setting of this session only; no row changes.
      local.Execute("SET IDENTITY_INSERT " + target + " ON");
      local.Execute("SET IDENTITY_INSERT " + target + " OFF");
    } catch (const db::DbError& e) {
      if (e.native_code() == kNoIdentity) {
        without_identity.emplace_back(table.name);
      } else {
        refused.push_back(std::string(table.name) + " (" + e.what() + ")");
      }
    }
  }
  if (without_identity.empty() && refused.empty()) {
    list.Pass(name, "allowed on every master table there");
    return;
  }
  std::string reason;
  std::string fix;
  if (!without_identity.empty()) {
    reason = "ID is no identity column in " + ListSome(without_identity);
    fix = local.embedded ? "recreate those tables with ID INTEGER PRIMARY KEY"
                         : "recreate those tables with ID int IDENTITY(1,1) PRIMARY KEY";
  }
  if (!refused.empty()) {
    if (!reason.empty()) reason += "; ";
    reason += "refused on " + ListSome(refused, 3);
    if (!fix.empty()) fix += "; ";
    fix += "GRANT ALTER on the master tables to " + Bracketed(local.user);
  }
  list.Fail(name, reason, fix);
}

}  // namespace rilo::check
