// The refresh end to end over FreeTDS: link, the SQL Server plan, unlink, with the head-office
// and store databases both behind the test server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/StoreTables.h"
#include "rilo/automation.h"
#include "schema/SampleChain.h"
#include "refresh/LinkProvider.h"
#include "support/VirtualServer.h"
#include "tds/TdsServer.h"

namespace rilo::tds::testing {
namespace {

using namespace std::chrono_literals;
using rilo::testing::EventKind;
using rilo::testing::VirtualServer;

class TdsRefresh : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(RILO_TEST_TMPDIR) / "tds-refresh" / info->name();
    std::filesystem::remove_all(dir_);
    schema::SampleChainOptions options;
    options.dir = dir_;
    chain_ = schema::CreateSampleChain(options);
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  void Serve(TdsServerOptions options = {}) {
    options.engine_dir = dir_;
    server_ = std::make_unique<TdsServer>(std::move(options));
  }

  std::string Settings() const {
    const std::string a = server_->address();
    return a + "｜rilo｜rilo-secret｜" + chain_.main_database + "｜" + a + "｜rilo｜rilo-secret｜" +
           chain_.local_database;
  }

  // Every row of the table, each row's values written out, in key order.
  std::vector<std::string> Table(const std::string& database, const std::string& table) const {
    const db::ResultSet result =
        Direct(database)->Query("SELECT * FROM [" + table + "] ORDER BY 1");
    std::vector<std::string> rows;
    for (const auto& row : result.rows) {
      std::string line;
      for (const auto& value : row) line += db::ValueToText(value) + "\t";
      rows.push_back(line);
    }
    return rows;
  }

  std::unique_ptr<db::Session> Direct(const std::string& database) const {
    return db::OpenSession(db::ConnectionString::Parse(
        "Data Source=" + db::QuoteConnectionValue("sqlite:" + dir_.string()) +
        ";Database=" + database));
  }

  /// Every master table of `database`, row by row.
  std::vector<std::vector<std::string>> Snapshot(const std::string& database) const {
    std::vector<std::vector<std::string>> tables;
    for (const auto& table : db::MasterTablesInCopyOrder()) {
      tables.push_back(Table(database, std::string(table.name)));
    }
    return tables;
  }

  std::vector<std::int32_t> Outcomes() const {
    std::vector<std::int32_t> out;
    for (const auto& e : vs_.listener->Of(EventKind::kTipsUpdate)) out.push_back(e.number);
    return out;
  }

  std::filesystem::path dir_;
  schema::SampleChain chain_;
  VirtualServer vs_;
  std::unique_ptr<TdsServer> server_;
};

TEST_F(TdsRefresh, RefreshReplacesTheStoreMasterTablesFromHeadOffice) {
  const auto stale = [&] {
    for (const auto& rows : Snapshot(chain_.local_database)) {
      for (const std::string& row : rows) {
        if (row.find("（旧）") != std::string::npos) return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(stale());
  Serve();
  auto server = vs_.Create();
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return !Outcomes().empty(); }, 60s));
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));

  EXPECT_EQ(Outcomes(), std::vector<std::int32_t>{kVariantTrue});
  // Tables copied whole match head office; the stale store row is gone.
  EXPECT_EQ(Table(chain_.local_database, "产品类别"), Table(chain_.main_database, "产品类别"));
  EXPECT_EQ(Table(chain_.local_database, "服务类别"), Table(chain_.main_database, "服务类别"));
  EXPECT_FALSE(stale());
  // Linked through the provider the server's version has, the link tested, staged,
  // replaced in one transaction, unlinked.
  const std::vector<std::string> sent = server_->statements();
  ASSERT_GE(sent.size(), 5u);
  EXPECT_NE(sent[0].find("ProductMajorVersion"), std::string::npos);
  EXPECT_TRUE(sent[1].starts_with("exec sp_addlinkedserver N'ITSV'"));
  EXPECT_TRUE(sent[2].starts_with("exec sp_addlinkedsrvlogin N'ITSV'"));
  EXPECT_EQ(sent[3], "exec sp_testlinkedserver ITSV");
  EXPECT_EQ(sent.back(), "exec sp_dropserver N'ITSV' , N'droplogins'");
}

TEST_F(TdsRefresh, FailureMidWayLeavesEveryStoreTableAsItWas) {
  // The store's copy of the last table lost a column: its copy fails after all the deletions
  // and most copies have run.
  Direct(chain_.local_database)->Execute("DROP TABLE 常用短信");
  Direct(chain_.local_database)
      ->Execute("CREATE TABLE 常用短信 (ID int PRIMARY KEY, 旧内容 nvarchar(10))");
  const auto before = Snapshot(chain_.local_database);
  Serve();
  auto server = vs_.Create();
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return !Outcomes().empty(); }, 60s));
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));

  EXPECT_EQ(Outcomes(), std::vector<std::int32_t>{kVariantFalse});
  EXPECT_EQ(Snapshot(chain_.local_database), before);
  const std::vector<std::string> sent = server_->statements();
  EXPECT_NE(std::ranges::find(sent, "DELETE FROM 产品类别"), sent.end());
  EXPECT_EQ(sent.back(), "exec sp_dropserver N'ITSV' , N'droplogins'");
}

TEST_F(TdsRefresh, ServerGoingAwayMidTransactionLeavesEveryStoreTableAsItWas) {
  const auto before = Snapshot(chain_.local_database);
  TdsServerOptions options;
  options.drop_connection_on = [](std::string_view sql) {
    return sql.find("insert into 服务类别") != std::string_view::npos;
  };
  Serve(options);
  auto server = vs_.Create();
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return !Outcomes().empty(); }, 60s));
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));

  EXPECT_EQ(Outcomes(), std::vector<std::int32_t>{kVariantFalse});
  EXPECT_EQ(Snapshot(chain_.local_database), before);
}

// SQL Server 2022 stores SQL Server Native Client for SQLOLEDB and no longer has it: the link
// must name a provider the server has.
TEST_F(TdsRefresh, LinkNamesAProviderTheLocalServerVersionHas) {
  for (const int version : {15, 16}) {
    SCOPED_TRACE(version);
    TdsServerOptions options;
    options.product_major_version = version;
    Serve(options);
    VirtualServer vs;
    auto server = vs.Create();
    server->StartUpdate(Settings(), kVariantTrue, "中心店");
    ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kTipsUpdate) == 1; }, 60s));
    ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));
    server_->Stop();

    EXPECT_EQ(vs.listener->Of(EventKind::kTipsUpdate).at(0).number, kVariantTrue);
    const std::vector<std::string> sent = server_->statements();
    const auto link = std::ranges::find_if(
        sent, [](const std::string& s) { return s.find("sp_addlinkedserver") != s.npos; });
    ASSERT_NE(link, sent.end());
    EXPECT_NE(link->find(version < 16 ? "'SQLOLEDB'" : "'MSOLEDBSQL'"), std::string::npos);
  }
}

TEST_F(TdsRefresh, AProviderTheServerLacksFailsTheLinkBeforeAnythingChanges) {
  const auto before = Snapshot(chain_.local_database);
  TdsServerOptions options;
  options.product_major_version = 16;
  Serve(options);
  auto sink = std::make_shared<rilo::testing::RecordingSink>();
  VirtualServer vs(sink);
  refresh::SetLinkProvider("SQLNCLI11");
  auto server = vs.Create();
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  const bool ended =
      vs.RunUntil([&] { return vs.listener->Count(EventKind::kTipsUpdate) == 1; }, 60s);
  refresh::SetLinkProvider("");
  ASSERT_TRUE(ended);
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));

  EXPECT_EQ(vs.listener->Of(EventKind::kTipsUpdate).at(0).number, kVariantFalse);
  EXPECT_EQ(Snapshot(chain_.local_database), before);
  // The link itself is reported as failed, naming the provider the server lacks.
  EXPECT_TRUE(std::ranges::any_of(sink->lines, [](const auto& line) {
    return line.where == "LinkMainServer" &&
           line.message.find("SQLNCLI11") != std::string::npos;
  }));
}

}  // namespace
}  // namespace rilo::tds::testing
