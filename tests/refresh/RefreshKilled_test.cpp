// A run that never reaches its end (the process dies in the middle of the batch) must leave
// the local master tables as they were, and must not keep later runs reading through the
// link it left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "component/Instance.h"
#include "db/ModSQL.h"
#include "refresh/RefreshFixture.h"
#include "refresh/RefreshMasterData.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

using testing::Chain;

const std::string kUnlink = "exec sp_dropserver 'ITSV' , 'droplogins'";

bool Refresh(rilo::testing::VirtualServer& server, const std::string& settings,
             const std::string& store) {
  auto self = server.CreateInstance({});
  db::SetAllSettings(self->settings(), settings);
  return RefreshMasterData(*self, store);
}

bool Refresh(const std::string& settings, const std::string& store) {
  rilo::testing::VirtualServer server;
  return Refresh(server, settings, store);
}

enum class Death { kExit, kKill };

// Runs a refresh in a child process that dies at the given statement of the batch. Returns
// the child's wait status.
int RefreshInChildThatDies(const std::string& settings, int statement, Death death) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    rilo::testing::VirtualServer server;
    testing::StatementLog log(server);
    log.on_execute = [&](int number, std::string_view) {
      if (number == statement + 2) {  // after the two link statements
        if (death == Death::kKill) ::raise(SIGKILL);
        ::_exit(42);
      }
    };
    Refresh(server, settings, "中心店");
    ::_exit(3);  // the run ended: the test is broken
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(RefreshMasterData, ProcessDyingMidRunLeavesTheTablesAndTheNextRunRelinks) {
  for (Death death : {Death::kKill, Death::kExit}) {
    SCOPED_TRACE(death == Death::kKill ? "SIGKILL" : "_exit");
    Chain local("killed-local");         // its HQ is the server the dying run links
    Chain current("killed-current", 7);  // the main server named by the settings afterwards
    testing::Execute(current.source(), current.info.main_database,
                     "INSERT INTO 常用短信(ID, 短信内容) VALUES (990001, 'current head office')");
    ASSERT_TRUE(Refresh(local.settings(), "中心店"));
    // Head office changes, so a run that got through would change the local tables.
    testing::Execute(local.source(), local.info.main_database, "DELETE FROM 员工信息");
    testing::Execute(local.source(), local.info.main_database,
                     "UPDATE 产品类别 SET 产品类别 = 'x'");
    const auto before = testing::MasterTables(local.source(), local.info.local_database);

    const int status = RefreshInChildThatDies(local.settings(), 40, death);
    if (death == Death::kKill) {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGKILL);
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 42);
    }
    EXPECT_EQ(testing::MasterTables(local.source(), local.info.local_database), before);
    // The dead run's link is still there.
    EXPECT_NO_THROW(testing::Rows(local.source(), local.info.local_database,
                                  "SELECT count(*) FROM ITSV.HQ.dbo.员工信息"));

    const std::string now_settings =
        testing::Settings(current.source(), "", "", current.info.main_database, local.source(),
                          local.info.local_database);
    rilo::testing::VirtualServer server;
    testing::StatementLog log(server);
    ASSERT_TRUE(Refresh(server, now_settings, "中心店"));
    ASSERT_GE(log.executed.size(), 4u);
    EXPECT_EQ(log.executed[1], kUnlink);  // the stale link, replaced
    EXPECT_EQ(log.executed.size(), 4u + 76u + 1u);
    EXPECT_EQ(testing::MasterTables(local.source(), local.info.local_database),
              testing::MasterTables(current.source(), current.info.main_database,
                                    " WHERE 所属分店='全部分店' or 所属分店 = '中心店'"));
  }
}

}  // namespace
}  // namespace rilo::refresh
