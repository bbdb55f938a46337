#include "check/Checks.h"
#include "check/Permissions.h"
#include "schema/TableCatalogue.h"

namespace rilo::check {

void CheckMasterTableRights(CheckList& list, Database& local) {
  const std::string name = local.Check("master table rights");
  if (local.embedded) {
    const std::string fix = "make " + local.server + "/" + local.name +
                            ".db writable for the user that runs the server";
    if (list.Guard(name, fix, [&] { TryWrite(local, "DELETE FROM [产品类别] WHERE 1 = 0"); })) {
      list.Pass(name, "the master tables can be emptied and refilled");
    }
    return;
  }
  std::vector<TablePermission> wanted;
  for (const schema::StoreTable& table : schema::StoreTableCatalogue()) {
    if (!table.master) continue;
    for (const char* permission : {"SELECT", "INSERT", "DELETE"}) {
      wanted.push_back({std::string(table.name), permission});
    }
  }
  list.Guard(name, "", [&] {
    if (!ReadOnlyState(local).empty()) {
      list.Fail(name, "database '" + local.name + "' is read-only: the refresh cannot refill it",
                "ALTER DATABASE " + Bracketed(local.name) + " SET READ_WRITE");
      return;
    }
    const std::vector<TablePermission> refused = RefusedTablePermissions(local, wanted);
    if (refused.empty()) {
      list.Pass(name, "login '" + local.user + "' may read, delete and insert the 19 master "
                      "tables");
    } else {
      list.Fail(name, "login '" + local.user + "' lacks " + DescribeRefused(refused),
                GrantsFor(refused, local.user));
    }
  });
}

}  // namespace rilo::check
