#include "rilo/Preflight.h"

#include <algorithm>
#include <memory>

#include "check/CheckList.h"
#include "check/Checks.h"
#include "check/Database.h"
#include "component/StoreName.h"
#include "db/ModSQL.h"
#include "db/access/SessionOptions.h"
#include "db/sqlite/EmbeddedDataSource.h"

namespace rilo {
namespace {

using check::CheckList;
using check::Database;

std::size_t PartCount(std::string_view settings) {
  std::size_t parts = 1;
  for (auto pos = settings.find(db::kSettingsSeparator); pos != std::string_view::npos;
       pos = settings.find(db::kSettingsSeparator, pos + db::kSettingsSeparator.size())) {
    ++parts;
  }
  return parts;
}

// ADO's own login time-out, which the jobs run with: a server that never answers must not
// hold the check.
constexpr std::string_view kLoginTimeout = "Connect Timeout=15;";

void Describe(Database& database, std::string side, const std::string& server,
              const std::string& user, const std::string& name, std::string connection_string) {
  database.side = std::move(side);
  database.server = server;
  database.user = user;
  database.name = name;
  database.connection_string = std::move(connection_string) + std::string(kLoginTimeout);
  database.embedded = db::IsEmbeddedDataSource(server);
}

void SkipAll(CheckList& list, std::initializer_list<std::string> names, const std::string& why) {
  for (const std::string& name : names) list.Skip(name, why);
}

void CheckMain(CheckList& list, Database& main, const std::string& store) {
  check::CheckConnect(list, main);
  if (!main.reached()) {
    SkipAll(list,
            {main.Check("tables and columns"), main.Check("collation"),
             main.Check("summary and reminder rights"), main.Check("store name")},
            "the main database was not reached");
    return;
  }
  check::CheckTables(list, main, false);
  check::CheckCollation(list, main, check::NamesToHold(main, store));
  check::CheckJobRights(list, main);
  if (db::IsBlank(store)) {
    list.Fail(main.Check("store name"), "the store name is empty",
              "pass the store's name as 店铺信息.店铺名称 holds it");
  } else {
    check::CheckStoreName(list, main, store);
  }
}

void CheckLocal(CheckList& list, Database& local, Database& main, const db::DbSettings& settings,
                const std::string& store, const std::string& forced_provider) {
  check::CheckConnect(list, local);
  if (!local.reached()) {
    SkipAll(list,
            {local.Check("tables and columns"), local.Check("collation"),
             local.Check("master table rights"), local.Check("SET IDENTITY_INSERT"),
             "refresh: no other ITSV", "refresh: linked server rights",
             "refresh: provider reaches main"},
            "the local database was not reached");
    return;
  }
  check::CheckTables(list, local, true);
  check::CheckCollation(list, local, check::NamesToHold(main, store));
  check::CheckMasterTableRights(list, local);
  check::CheckIdentityInsert(list, local);
  check::CheckItsvFree(list, local, settings);
  check::CheckLinkedServer(list, local, settings, forced_provider);
}

}  // namespace

std::vector<CheckResult> RunPreflight(const PreflightOptions& options) {
  const auto sessions = std::make_shared<db::SessionOptions>(db::CheckedOdbcChoice(options.odbc));
  db::DbSettings settings;
  db::SetAllSettings(settings, options.settings);
  const std::string store = component::TrimStoreName(options.store_name);
  CheckList list({settings.MainPassword, settings.LocalPassword});

  Database main(sessions);
  Describe(main, "main", settings.MainServer, settings.MainUser, settings.MainDatabase,
           db::MainConnString(settings));
  CheckMain(list, main, store);

  // Four parts are what StartServer reads: such a store runs no refresh.
  if (PartCount(options.settings) < 5) {
    list.Skip("local: connect", "the settings hold no local database (parts 5-8): only "
                                "StartServer's summary and reminder were checked");
    return list.Take();
  }
  Database local(sessions);
  Describe(local, "local", settings.LocalServer, settings.LocalUser, settings.LocalDatabase,
           db::LocalConnString(settings));
  CheckLocal(list, local, main, settings, store, options.odbc.link_provider);
  return list.Take();
}

bool AllPassed(const std::vector<CheckResult>& results) {
  return std::ranges::none_of(
      results, [](const CheckResult& r) { return r.outcome == CheckOutcome::kFailed; });
}

}  // namespace rilo
