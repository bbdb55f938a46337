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
#include "db/ModSQL.h"
#include "db/StoreTables.h"
#include "db/access/OpenSession.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "rilo/SampleChain.h"
#include "rilo/automation.h"
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
  // Under the server's application lock: linked through the provider the server's version
  // has, the link tested, staged, replaced in one transaction, unlinked, and the lock given
  // back last.
  const std::vector<std::string> sent = server_->statements();
  ASSERT_GE(sent.size(), 6u);
  EXPECT_NE(sent[0].find("sp_getapplock"), std::string::npos);
  EXPECT_NE(sent[1].find("ProductMajorVersion"), std::string::npos);
  EXPECT_TRUE(sent[2].starts_with("exec sp_addlinkedserver N'ITSV'"));
  EXPECT_TRUE(sent[3].starts_with("exec sp_addlinkedsrvlogin N'ITSV'"));
  EXPECT_EQ(sent[4], "exec sp_testlinkedserver ITSV");
  EXPECT_EQ(sent[sent.size() - 2], "exec sp_dropserver N'ITSV' , N'droplogins'");
  EXPECT_NE(sent.back().find("sp_releaseapplock"), std::string::npos);
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
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], "exec sp_dropserver N'ITSV' , N'droplogins'");
  EXPECT_NE(sent.back().find("sp_releaseapplock"), std::string::npos);
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

TEST_F(TdsRefresh, RefreshWaitsForTheServersApplicationLockAndGivesUpAfterAMinute) {
  Serve();
  const auto before = Snapshot(chain_.local_database);
  // Another refresh's session holds the lock, as sp_getapplock with a session owner keeps it.
  const std::string settings = Settings();
  db::DbSettings parsed;
  db::SetAllSettings(parsed, settings);
  auto holder = db::OpenSession(db::ConnectionString::Parse(db::LocalConnString(parsed)));
  const db::ResultSet taken = holder->Query(
      "DECLARE @status int; EXEC @status = master.sys.sp_getapplock @Resource = N'RiloServer "
      "ITSV', @LockMode = N'Exclusive', @LockOwner = N'Session', @LockTimeout = 0; "
      "SELECT @status AS status");
  ASSERT_EQ(taken.rows.size(), 1u);
  ASSERT_EQ(db::ValueToText(taken.rows[0][0]), "0");

  auto server = vs_.Create();
  server->StartUpdate(settings, kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return !Outcomes().empty(); }, 120s));
  EXPECT_EQ(Outcomes(), std::vector<std::int32_t>{kVariantFalse});
  EXPECT_GE(vs_.Elapsed(), 62s);
  EXPECT_EQ(Snapshot(chain_.local_database), before);
  for (const std::string& sql : server_->statements()) {
    EXPECT_EQ(sql.find("sp_addlinkedserver"), std::string::npos);
  }

  // The holder's session ends: the server gives its lock back and the next run gets in.
  holder.reset();
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));
  server->StartUpdate(settings, kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return Outcomes().size() == 2; }, 60s));
  EXPECT_EQ(Outcomes().back(), kVariantTrue);
  EXPECT_EQ(Table(chain_.local_database, "产品类别"), Table(chain_.main_database, "产品类别"));
}

TEST_F(TdsRefresh, CallNamingAnotherLocalServerDuringARunLeavesNoLinkOnEither) {
  const auto other_dir = dir_.string() + "-other";
  std::filesystem::remove_all(other_dir);
  schema::SampleChainOptions options;
  options.dir = other_dir;
  schema::CreateSampleChain(options);
  TdsServerOptions other_options;
  other_options.engine_dir = other_dir;
  TdsServer other(std::move(other_options));
  const std::string a = other.address();
  const std::string moved = a + "｜rilo｜rilo-secret｜HQ｜" + a + "｜rilo｜rilo-secret｜Store";

  auto server = vs_.Create();
  TdsServerOptions landing;
  bool posted = false;
  landing.before_statement = [&](std::string_view sql) {
    // Served at the run's next yield, as a call from the host would be.
    if (!posted && sql == "DELETE FROM 产品类别") {
      posted = true;
      vs_.thread->context().loop.Post([&] { server->StartUpdate(moved, kVariantTrue, "东城店"); });
    }
  };
  Serve(landing);
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  ASSERT_TRUE(vs_.RunUntil([&] { return Outcomes().size() == 2; }, 60s));
  ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));
  ASSERT_TRUE(other.WaitUntilIdle(std::chrono::seconds(5)));
  other.Stop();

  EXPECT_EQ(Outcomes(), (std::vector<std::int32_t>{kVariantTrue, kVariantTrue}));
  EXPECT_FALSE(db::sqlite::LinkedServerRegistry(dir_).Find("ITSV"));
  EXPECT_FALSE(db::sqlite::LinkedServerRegistry(other_dir).Find("ITSV"));
  // The first run stayed on its server from link to unlink.
  const auto sent = server_->statements();
  EXPECT_EQ(std::ranges::count(sent, "exec sp_dropserver N'ITSV' , N'droplogins'"), 1);
  EXPECT_EQ(Table(chain_.local_database, "产品类别"), Table(chain_.main_database, "产品类别"));
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
  VirtualServer vs(sink, {.link_provider = "SQLNCLI11"});
  auto server = vs.Create();
  server->StartUpdate(Settings(), kVariantTrue, "中心店");
  const bool ended =
      vs.RunUntil([&] { return vs.listener->Count(EventKind::kTipsUpdate) == 1; }, 60s);
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
