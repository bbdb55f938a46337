#include <optional>

#include "check/Checks.h"
#include "db/Value.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "refresh/LinkedServer.h"

namespace rilo::check {
namespace {

// Where ITSV of the local server points, if it exists.
std::optional<std::string> ItsvTarget(Database& local) {
  if (local.embedded) {
    const auto folder = db::sqlite::EmbeddedFolder(local.server);
    if (!folder) return std::nullopt;
    const auto server = db::sqlite::LinkedServerRegistry(*folder).Find(refresh::kLinkedServerName);
    if (!server) return std::nullopt;
    return server->data_source;
  }
  const db::ResultSet result =
      local.Query("SELECT data_source FROM sys.servers WHERE name = N'ITSV'");
  if (result.rows.empty() || result.rows[0].empty()) return std::nullopt;
  return db::ValueToText(result.rows[0][0]);
}

}  // namespace

void CheckItsvFree(CheckList& list, Database& local, const db::DbSettings& settings) {
  const std::string name = "refresh: no other ITSV";
  list.Guard(name, "", [&] {
    const std::optional<std::string> target = ItsvTarget(local);
    if (!target) {
      list.Pass(name, "no linked server ITSV is defined");
    } else if (*target == settings.MainServer) {
      list.Pass(name, "ITSV names this main server: left by a refresh that did not end, or one "
                      "running now; the next refresh replaces it");
    } else {
      list.Fail(name,
                "ITSV is defined and names '" + *target + "', not the main server '" +
                    settings.MainServer + "': a refresh would drop it and link its own",
                "if another program owns ITSV, give it another name there; if an old refresh "
                "left it, drop it: exec sp_dropserver 'ITSV', 'droplogins'");
    }
  });
}

}  // namespace rilo::check
