// The path for a local SQL Server cannot run here (no server). Through the SQLite ODBC driver
// standing in for it, a run shows which path it took and how it leaves at the first statement
// such a server alone understands.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "component/Instance.h"
#include "db/ModSQL.h"
#include "db/access/StatementHook.h"
#include "refresh/RefreshFixture.h"
#include "refresh/RefreshMasterData.h"
#include "rilo/SampleChain.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

TEST(RefreshMasterData, LocalDataSourceOtherThanEmbeddedTakesTheStagedPath) {
  testing::TempDir dir("odbc");
  const auto store = dir.path() / "Store.db";
  schema::CreateEmptyStoreDatabase(store, true);
  testing::Execute(dir.source(), "Store", "INSERT INTO 产品类别(ID, 产品类别) VALUES (1, '洗护')");

  rilo::testing::VirtualServer server(nullptr, {.driver = RILO_SQLITE_ODBC_DRIVER});
  auto self = server.CreateInstance({});
  db::SetAllSettings(self->settings(), testing::Settings("hq-server", "clerk", "pw", "HQ Data",
                                                         "local", store.string()));
  std::vector<std::pair<db::StatementKind, std::string>> sent;
  const db::ScopedStatementHook hook(
      server.statement_hook(),
      [&](db::StatementKind kind, std::string_view text) { sent.emplace_back(kind, text); });
  EXPECT_FALSE(RefreshMasterData(*self, "中心店"));

  // The server's application lock comes first; a server that cannot give it is never linked.
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].first, db::StatementKind::kOpen);
  EXPECT_EQ(sent[1].first, db::StatementKind::kQuery);
  EXPECT_NE(sent[1].second.find("master.sys.sp_getapplock"), std::string::npos);
  EXPECT_EQ(testing::Rows(dir.source(), "Store", "SELECT ID, 产品类别 FROM 产品类别"),
            std::vector<std::string>{"1\t洗护"});
}

}  // namespace
}  // namespace rilo::refresh
