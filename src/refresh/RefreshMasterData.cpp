#include "refresh/RefreshMasterData.h"

#include <chrono>
#include <memory>
#include <vector>

#include "component/Instance.h"
#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/ModSQL.h"
#include "db/SqlText.h"
#include "db/access/Connection.h"
#include "db/access/Transaction.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "refresh/LeaveForHandler.h"
#include "refresh/LinkSection.h"
#include "refresh/LinkedServer.h"
#include "refresh/RefreshPlan.h"
#include "refresh/SameDatabase.h"

namespace rilo::refresh {
namespace {

constexpr std::chrono::milliseconds kPause{1};

void YieldAndPause(component::Instance& self) {
  self.Yield();
  self.Sleep(kPause);
}

void CloseIfOpen(db::Connection& connection) {
  if (connection.State() == db::ObjectState::kOpen) connection.Close();
}

RefreshPlan PlanFor(const std::string& local_connection_string, const std::string& mainDatabase,
                    const std::string& storeName) {
  const auto data_source =
      db::ConnectionString::Parse(local_connection_string).Get("Data Source").value_or("");
  return db::IsEmbeddedDataSource(data_source) ? BuildEmbeddedPlan(mainDatabase, storeName)
                                               : BuildSqlServerPlan(mainDatabase, storeName);
}

}  // namespace

bool RefreshMasterData(component::Instance& self, std::string storeName) {
  // The run's own copy of the settings: a StartUpdate served at one of its yields may store
  // other servers, but this run links, copies and unlinks where it started, as it keeps its
  // connections. The next run uses the new settings.
  const db::DbSettings settings = self.settings();
  if (const auto same = SameDatabaseReason(settings)) {
    // Emptying the local tables would empty the source: refuse before anything is touched.
    self.context().Log(LogLevel::kWarning, "RefreshMasterData",
                       "refused: " + *same + ", so the refresh would empty the master tables it "
                       "reads from");
    return false;
  }
  // From linking to unlinking the local server's ITSV is this run's alone; left on every path
  // when `section` goes out of scope, after the unlink.
  const std::unique_ptr<LinkSection> section = EnterLinkSection(self, settings);
  if (!section) return false;

  const std::vector<std::string> secrets = {
      settings.MainPassword, db::EscapeLiteral(settings.MainPassword), settings.LocalPassword};
  std::string step = "linking";
  auto connection = std::make_unique<db::Connection>(self.context().session_options);

  return LeaveForHandler(
      self.context(), "RefreshMasterData", step, secrets,
      [&] {
        LinkMainServer(self, settings);
        YieldAndPause(self);
        step = "checking where ITSV leads";
        CheckLinkTarget(self, settings);

        step = "building the batch";
        const std::string connection_string = db::LocalConnString(settings);
        const RefreshPlan plan = PlanFor(connection_string, settings.MainDatabase, storeName);

        step = "opening the local connection";
        connection->SetCursorLocation(db::CursorLocation::kUseClient);
        connection->Open(connection_string);

        int number = 0;
        const auto run = [&](const std::string& statement) {
          step = "statement " + std::to_string(++number);
          connection->Execute(statement);
          YieldAndPause(self);
        };
        for (const std::string& statement : plan.staging) run(statement);
        {
          step = "beginning the transaction";
          // Rolled back on the way to the handler. A failed rollback is only told: the handler
          // closes the connection, which discards the transaction, and unlinks all the same.
          db::Transaction transaction(*connection, [&] {
            ReportRoutineFailure(self.context(), "RefreshMasterData", "rolling back", secrets);
          });
          for (const std::string& statement : plan.transaction) run(statement);
          step = "committing";
          transaction.Commit();
        }

        step = "closing the local connection";
        CloseIfOpen(*connection);
        connection.reset();
        YieldAndPause(self);
        step = "unlinking";
        UnlinkMainServer(self, settings);
        return true;
      },
      [&] {
        if (connection) CloseIfOpen(*connection);
        connection.reset();
        UnlinkMainServer(self, settings);
        return false;
      });
}

}  // namespace rilo::refresh
