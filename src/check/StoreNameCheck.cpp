#include "check/Checks.h"
#include "db/Value.h"

namespace rilo::check {

void CheckStoreName(CheckList& list, Database& main, const std::string& store) {
  const std::string name = main.Check("store name");
  if (!main.HasTable("店铺信息")) {
    list.Skip(name, "店铺信息 is missing (see the tables check)");
    return;
  }
  list.Guard(name, "", [&] {
    // Compared in SQL, as the jobs compare 所属分店: the database's collation decides.
    const db::ResultSet matches = main.Query(
        "SELECT COUNT(*) FROM [店铺信息] WHERE [店铺名称] = " + UnicodeLiteral(store));
    const auto* count = matches.rows.empty() || matches.rows[0].empty()
                            ? nullptr
                            : std::get_if<std::int64_t>(&matches.rows[0][0]);
    if (count && *count > 0) {
      list.Pass(name, "'" + store + "' is a store of 店铺信息");
      return;
    }
    std::vector<std::string> known;
    for (const auto& row :
         main.Query("SELECT TOP 20 [店铺名称] FROM [店铺信息] ORDER BY [ID]").rows) {
      if (!row.empty() && !db::IsNull(row[0])) known.push_back("'" + db::ValueToText(row[0]) + "'");
    }
    list.Fail(name, "'" + store + "' is not in 店铺信息.店铺名称, so no sale, card or appointment "
                    "matches it",
              known.empty() ? "add the store to 店铺信息 of the main database"
                            : "pass the store name as 店铺信息 holds it: " + ListSome(known));
  });
}

}  // namespace rilo::check
