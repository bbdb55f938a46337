#include "refresh/RefreshMasterData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "db/ModSQL.h"
#include "db/sqlite/LinkedServerLock.h"
#include "db/sqlite/LinkedServerRegistry.h"
#include "refresh/ExpectedStatements.h"
#include "refresh/RefreshBatch.h"
#include "refresh/RefreshFixture.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

using std::chrono::milliseconds;
using testing::Chain;
using testing::StatementLog;

const std::string kUnlink = "exec sp_dropserver 'ITSV' , 'droplogins'";

// A chain, and a bare instance on a virtual clock with the chain's settings stored.
struct Refreshing {
  explicit Refreshing(std::string_view tag, std::shared_ptr<DiagnosticsSink> sink = nullptr,
                      std::string main_database = "HQ")
      : chain(tag, 1, std::move(main_database)),
        server(std::move(sink)),
        self(server.CreateInstance({})) {
    db::SetAllSettings(self->settings(), chain.settings());
  }

  std::string main() const { return chain.info.main_database; }
  std::string local() const { return chain.info.local_database; }
  testing::Snapshot LocalTables() const { return chain.LocalTables(); }
  testing::Snapshot MainTables(const std::string& store) const { return chain.MainTables(store); }
  void OnMain(const std::string& sql) const { testing::Execute(chain.source(), main(), sql); }
  void OnLocal(const std::string& sql) const { testing::Execute(chain.source(), local(), sql); }

  bool Run(const std::string& store) { return RefreshMasterData(*self, store); }
  bool LinkExists() const {
    try {
      testing::Rows(chain.source(), local(),
                    "SELECT count(*) FROM ITSV." + main() + ".dbo.产品类别");
      return true;
    } catch (const db::DbError&) {
      return false;
    }
  }
  // A fresh connection can write: nothing of the run holds the local database.
  void ExpectLocalDatabaseFree() const {
    EXPECT_NO_THROW(OnLocal("DELETE FROM 常用短信 WHERE ID = -1"));
  }

  Chain chain;
  rilo::testing::VirtualServer server;
  std::shared_ptr<component::Instance> self;
};

std::vector<std::string> LinkStatementsFor(const Chain& chain) {
  return {"exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '" + chain.source() + "'",
          "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , '' , ''"};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Rows a sample chain need not have: one per store kind in the filtered tables, and rows of
// another store in the tables that are copied whole.
void AddStoreRows(const Refreshing& r) {
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9001, '通用洗发水', '全部分店')");
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9002, '本店护发素', '中心店')");
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9003, '别店发蜡', '东城店')");
  r.OnMain("INSERT INTO 服务信息(ID, 服务名称, 所属分店) VALUES (9101, '洗剪吹', '全部分店')");
  r.OnMain("INSERT INTO 服务信息(ID, 服务名称, 所属分店) VALUES (9102, '头皮护理', '中心店')");
  r.OnMain("INSERT INTO 服务信息(ID, 服务名称, 所属分店) VALUES (9103, '美甲', '东城店')");
  r.OnMain("INSERT INTO 会员等级(ID, 会员等级, 所属分店) VALUES (9201, '东城金卡', '东城店')");
  r.OnMain("INSERT INTO 员工信息(ID, 员工编号, 所属分店) VALUES (9301, 'E9301', '东城店')");
  r.OnMain("INSERT INTO 用户信息(ID, 用户编号, 所属分店) VALUES (9401, 'U9401', '东城店')");
  r.OnMain("INSERT INTO 考勤设置(ID, 考勤科目, 所属分店) VALUES (9501, '晚班', '东城店')");
}

bool HasId(const std::vector<std::string>& rows, const std::string& id) {
  for (const auto& row : rows) {
    if (row.substr(0, row.find('\t')) == id) return true;
  }
  return false;
}

TEST(RefreshMasterData, CopiesEveryTableKeepingIdsAndFiltersTheStoreTables) {
  Refreshing r("copy");
  AddStoreRows(r);
  r.OnLocal("INSERT INTO 常用短信(ID, 短信内容) VALUES (777777, 'stale local row')");
  StatementLog log(r.server);

  const auto start = r.server.clock->Now();
  EXPECT_TRUE(r.Run("中心店"));
  // Two pauses while linking, one after it, one per statement, one before unlinking.
  EXPECT_EQ(r.server.clock->Now() - start, milliseconds(80));

  EXPECT_EQ(log.executed,
            Concat(Concat(LinkStatementsFor(r.chain), testing::ExpectedBatch("HQ", "中心店")),
                   {kUnlink}));
  EXPECT_EQ(log.opened.size(), 3u);  // link, batch, unlink: a connection each

  const auto local = r.LocalTables();
  EXPECT_EQ(local, r.MainTables("中心店"));
  EXPECT_GT(testing::TotalRows(local), 19u);
  EXPECT_TRUE(HasId(local.at("产品信息"), "9001"));
  EXPECT_TRUE(HasId(local.at("产品信息"), "9002"));
  EXPECT_FALSE(HasId(local.at("产品信息"), "9003"));
  EXPECT_TRUE(HasId(local.at("服务信息"), "9101"));
  EXPECT_TRUE(HasId(local.at("服务信息"), "9102"));
  EXPECT_FALSE(HasId(local.at("服务信息"), "9103"));
  EXPECT_TRUE(HasId(local.at("会员等级"), "9201"));
  EXPECT_TRUE(HasId(local.at("员工信息"), "9301"));
  EXPECT_TRUE(HasId(local.at("用户信息"), "9401"));
  EXPECT_TRUE(HasId(local.at("考勤设置"), "9501"));
  EXPECT_FALSE(HasId(local.at("常用短信"), "777777"));
  EXPECT_FALSE(r.LinkExists());
  r.ExpectLocalDatabaseFree();
}

TEST(RefreshMasterData, StatementsSentReadAsTheWorkedExample) {
  Refreshing r("worked-example", nullptr, "HQData");
  StatementLog log(r.server);
  EXPECT_TRUE(r.Run("中心店"));
  ASSERT_EQ(log.executed.size(), 2u + 76u + 1u);
  const std::vector<std::string> batch(log.executed.begin() + 2, log.executed.end() - 1);
  const std::string text = JoinStatements(batch);
  EXPECT_NE(text.find("||DELETE FROM 常用短信||SET IDENTITY_INSERT 产品类别 ON|| insert into "
                      "产品类别(ID,产品类别) select ID,产品类别 from ITSV.HQData.dbo.产品类别||SET "
                      "IDENTITY_INSERT 产品类别 off||SET IDENTITY_INSERT 服务类别 ON||"),
            std::string::npos);
  EXPECT_TRUE(batch[32].ends_with(
      "from ITSV.HQData.dbo.产品信息 Where 所属分店='全部分店' or 所属分店 = '中心店'"));
  EXPECT_TRUE(text.ends_with("||SET IDENTITY_INSERT 常用短信 off"));
  EXPECT_EQ(r.LocalTables(), r.MainTables("中心店"));
}

TEST(RefreshMasterData, EmptyStoreNameCopiesOnlyRowsForEveryStore) {
  Refreshing r("empty-store");
  AddStoreRows(r);
  EXPECT_TRUE(r.Run(""));

  const auto local = r.LocalTables();
  EXPECT_EQ(local, r.MainTables(""));
  const auto stores = testing::Rows(
      r.chain.source(), r.local(),
      "SELECT DISTINCT 所属分店 FROM 产品信息 UNION SELECT DISTINCT 所属分店 FROM 服务信息");
  EXPECT_EQ(stores, std::vector<std::string>{"全部分店"});
  EXPECT_TRUE(HasId(local.at("会员等级"), "9201"));
}

// A local database that a first run filled, and a main database that has changed since, so
// that a run that went through would visibly change the local tables.
struct Refilled : Refreshing {
  explicit Refilled(std::string_view tag, std::shared_ptr<DiagnosticsSink> sink = nullptr)
      : Refreshing(tag, std::move(sink)) {
    AddStoreRows(*this);
    EXPECT_TRUE(Run("中心店"));
    OnMain("DELETE FROM 产品信息 WHERE ID = 9001");
    OnMain("INSERT INTO 常用短信(ID, 短信内容) VALUES (880001, 'new at head office')");
    OnMain("UPDATE 员工职务 SET 职务归属 = 'changed'");
    before = LocalTables();
    EXPECT_NE(before, MainTables("中心店"));
  }
  testing::Snapshot before;
};

TEST(RefreshMasterData, FailureAtAnyStatementLeavesTheLocalTablesAsTheyWere) {
  for (int n : {1, 2, 19, 20, 21, 22, 33, 40, 53, 73, 75, 76}) {
    SCOPED_TRACE("failing statement " + std::to_string(n));
    Refilled r("fail-" + std::to_string(n));
    const auto batch = testing::ExpectedBatch("HQ", "中心店");
    StatementLog log(r.server);
    log.on_execute = [&](int number, std::string_view text) {
      if (number == n + 2) {
        EXPECT_EQ(text, batch[static_cast<std::size_t>(n - 1)]);
        throw testing::InjectedFailure();
      }
    };

    const auto start = r.server.clock->Now();
    EXPECT_FALSE(r.Run("中心店"));
    // No pause follows the failing statement, nor comes before the unlink.
    EXPECT_EQ(r.server.clock->Now() - start, milliseconds(2 + 1 + n - 1));

    std::vector<std::string> expected = LinkStatementsFor(r.chain);
    expected.insert(expected.end(), batch.begin(), batch.begin() + n);
    expected.push_back(kUnlink);
    EXPECT_EQ(log.executed, expected);
    EXPECT_EQ(r.LocalTables(), r.before);
    EXPECT_FALSE(r.LinkExists());
    r.ExpectLocalDatabaseFree();
  }
}

TEST(RefreshMasterData, LocalConnectionThatCannotOpenRunsNoStatement) {
  Refilled r("no-open");
  StatementLog log(r.server);
  log.on_open = [](int number) {
    if (number == 2) throw testing::InjectedFailure();  // the batch's own connection
  };
  EXPECT_FALSE(r.Run("中心店"));
  EXPECT_EQ(log.executed, Concat(LinkStatementsFor(r.chain), {kUnlink}));
  EXPECT_EQ(log.opened.size(), 3u);
  EXPECT_EQ(r.LocalTables(), r.before);
  EXPECT_FALSE(r.LinkExists());
}

TEST(RefreshMasterData, MissingLocalDatabaseFailsWithoutAnyStatement) {
  Refreshing r("no-local");
  db::SetAllSettings(r.self->settings(), testing::Settings(r.chain.source(), "", "", r.main(),
                                                           r.chain.source(), "NoSuchStore"));
  StatementLog log(r.server);
  EXPECT_FALSE(r.Run("中心店"));
  EXPECT_TRUE(log.executed.empty());
  // Linking and unlinking try to open it; with no ITSV made the run stops before its own.
  EXPECT_EQ(log.opened.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(r.chain.dir.path() / "NoSuchStore.db"));
}

TEST(RefreshMasterData, LocalTableWithoutIdentityIdFailsAtItsIdentityOnStatement) {
  Refilled r("no-identity");
  r.OnLocal("DROP TABLE 服务单位");
  r.OnLocal("CREATE TABLE 服务单位 (ID INTEGER, 服务单位 TEXT)");
  r.OnLocal("INSERT INTO 服务单位(ID, 服务单位) VALUES (5, '次')");
  const auto before = r.LocalTables();
  StatementLog log(r.server);

  EXPECT_FALSE(r.Run("中心店"));
  ASSERT_GE(log.executed.size(), 2u);
  EXPECT_EQ(log.executed[log.executed.size() - 2], "SET IDENTITY_INSERT 服务单位 ON");
  EXPECT_EQ(log.executed.size(), 2u + 53u + 1u);
  EXPECT_EQ(r.LocalTables(), before);
}

TEST(RefreshMasterData, UnreachableMainDatabaseFailsAtTheFirstReadAndKeepsTheLocalTables) {
  Refilled r("unreachable");
  db::SetAllSettings(r.self->settings(), testing::Settings(r.chain.source(), "", "", "NoSuchHQ",
                                                           r.chain.source(), r.local()));
  StatementLog log(r.server);
  EXPECT_FALSE(r.Run("中心店"));
  ASSERT_GE(log.executed.size(), 2u);
  EXPECT_EQ(
      log.executed[log.executed.size() - 2],
      " insert into 产品类别(ID,产品类别) select ID,产品类别 from ITSV.NoSuchHQ.dbo.产品类别");
  EXPECT_EQ(log.executed.back(), kUnlink);
  EXPECT_EQ(r.LocalTables(), r.before);
}

TEST(RefreshMasterData, HostileStoreNamesSelectExactlyTheirOwnRows) {
  Refreshing r("hostile");
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9011, 'a', 'O''Brien店')");
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9012, 'b', 'A||B')");
  r.OnMain("INSERT INTO 产品信息(ID, 产品名称, 所属分店) VALUES (9013, 'c', 'A')");
  r.OnMain("INSERT INTO 服务信息(ID, 服务名称, 所属分店) VALUES (9111, 'd', 'O''Brien店')");

  {
    StatementLog log(r.server);
    EXPECT_TRUE(r.Run("O'Brien店"));
    EXPECT_EQ(log.executed.size(), 2u + 76u + 1u);
    const auto local = r.LocalTables();
    EXPECT_EQ(local, r.MainTables("O''Brien店"));
    EXPECT_TRUE(HasId(local.at("产品信息"), "9011"));
    EXPECT_TRUE(HasId(local.at("服务信息"), "9111"));
    EXPECT_FALSE(HasId(local.at("产品信息"), "9012"));
  }
  {
    StatementLog log(r.server);
    EXPECT_TRUE(r.Run("A||B"));
    EXPECT_EQ(log.executed.size(), 2u + 76u + 1u);
    const auto local = r.LocalTables();
    EXPECT_TRUE(HasId(local.at("产品信息"), "9012"));
    EXPECT_FALSE(HasId(local.at("产品信息"), "9013"));
    EXPECT_FALSE(HasId(local.at("产品信息"), "9011"));
  }
}

TEST(RefreshMasterData, MainDatabaseNameThatIsNoPlainIdentifierStillRefreshes) {
  for (const std::string name : {"HQ Data", "H]Q"}) {
    SCOPED_TRACE(name);
    Refreshing r("odd-db", nullptr, name);
    StatementLog log(r.server);
    EXPECT_TRUE(r.Run("中心店"));
    const std::string bracketed = name == "HQ Data" ? "[HQ Data]" : "[H]]Q]";
    EXPECT_EQ(log.executed, Concat(Concat(LinkStatementsFor(r.chain),
                                          testing::ExpectedBatch(bracketed, "中心店")),
                                   {kUnlink}));
    EXPECT_EQ(r.LocalTables(), r.MainTables("中心店"));
  }
}

TEST(RefreshMasterData, SettingsStoredDuringTheRunDoNotReachIt) {
  Refreshing r("settings-change");
  StatementLog log(r.server);
  log.on_execute = [&](int number, std::string_view) {
    // As a StartUpdate handled at a yield would.
    if (number == 5) r.self->settings().MainDatabase = "Elsewhere";
  };
  EXPECT_TRUE(r.Run("中心店"));
  EXPECT_EQ(log.executed,
            Concat(Concat(LinkStatementsFor(r.chain), testing::ExpectedBatch("HQ", "中心店")),
                   {kUnlink}));
}

TEST(RefreshMasterData, MainAndLocalBeingOneDatabaseIsRefusedAndChangesNothing) {
  auto sink = std::make_shared<testing::RecordingSink>();
  Refreshing r("same-db", sink);
  const std::filesystem::path alias = r.chain.dir.path().string() + "-alias";
  // Windows without the right to make links (and Wine) has no folder symlinks: the names
  // that differ only in case are still tried there.
  std::error_code no_symlinks;
  std::filesystem::create_directory_symlink(r.chain.dir.path(), alias, no_symlinks);
  const std::string via_alias = "sqlite:" + alias.string();
  const auto main_before = r.MainTables("中心店");
  const auto local_before = r.LocalTables();

  const std::string upper = r.main(), lower = "hq";
  std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {r.chain.source(), r.chain.source(), upper}, {r.chain.source(), r.chain.source(), lower}};
  if (!no_symlinks) {
    cases.emplace_back(via_alias, r.chain.source(), lower);
    cases.emplace_back(r.chain.source(), via_alias + "/", upper);
  }
  for (const auto& [main_source, local_source, local_db] : cases) {
    SCOPED_TRACE(main_source + " / " + local_source + " / " + local_db);
    db::SetAllSettings(r.self->settings(), testing::Settings(main_source, "", "", r.main(),
                                                             local_source, local_db));
    sink->lines.clear();
    StatementLog log(r.server);
    EXPECT_FALSE(r.Run("中心店"));
    EXPECT_TRUE(log.executed.empty());
    EXPECT_TRUE(log.opened.empty());
    ASSERT_EQ(sink->lines.size(), 1u);
    EXPECT_NE(sink->lines[0].find("is the local database"), std::string::npos) << sink->lines[0];
  }
  EXPECT_EQ(r.MainTables("中心店"), main_before);
  EXPECT_EQ(r.LocalTables(), local_before);
  EXPECT_FALSE(r.LinkExists());
  std::error_code ignored;
  std::filesystem::remove(alias, ignored);
}

TEST(RefreshMasterData, WaitsWhileAnotherRefreshHoldsTheLocalServerAndGivesUpAfterAMinute) {
  auto sink = std::make_shared<testing::RecordingSink>();
  Refreshing r("folder-lock", sink);
  const auto before = r.LocalTables();
  auto held = db::sqlite::LinkedServerLock::TryLock(r.chain.dir.path());
  ASSERT_TRUE(held);
  EXPECT_FALSE(db::sqlite::LinkedServerLock::TryLock(r.chain.dir.path()));
  {
    StatementLog log(r.server);
    const auto start = r.server.Elapsed();
    EXPECT_FALSE(r.Run("中心店"));
    EXPECT_GE(r.server.Elapsed() - start, milliseconds(60000));
    EXPECT_LT(r.server.Elapsed() - start, milliseconds(61000));
    EXPECT_TRUE(log.opened.empty());
    EXPECT_EQ(r.LocalTables(), before);
    ASSERT_FALSE(sink->lines.empty());
    EXPECT_NE(sink->lines.back().find("another refresh"), std::string::npos);
  }
  // The holder lets go five seconds into the wait: the run goes on from there.
  auto& loop = r.server.thread->context().loop;
  const auto release = loop.CreateTimer([&] { held.reset(); });
  loop.SetTimerPeriod(release, 5000);
  loop.SetTimerEnabled(release, true);
  StatementLog log(r.server);
  const auto start = r.server.Elapsed();
  EXPECT_TRUE(r.Run("中心店"));
  EXPECT_GE(r.server.Elapsed() - start, milliseconds(5000));
  EXPECT_EQ(log.executed, Concat(Concat(LinkStatementsFor(r.chain),
                                        testing::ExpectedBatch("HQ", "中心店")),
                                 {kUnlink}));
  EXPECT_EQ(r.LocalTables(), r.MainTables("中心店"));
  // Left on the way out: the next run gets in at once.
  EXPECT_TRUE(db::sqlite::LinkedServerLock::TryLock(r.chain.dir.path()));
  loop.DestroyTimer(release);
}

TEST(RefreshMasterData, LinkReplacedByAnotherProgramIsNeverCopiedFrom) {
  Refreshing r("foreign-link");
  Chain elsewhere("foreign-link-hq", 2);
  const auto before = r.LocalTables();
  StatementLog log(r.server);
  log.on_execute = [&](int number, std::string_view) {
    if (number != 2) return;
    // A program that takes no lock swaps ITSV between this run's two link statements.
    db::sqlite::LinkedServerRegistry registry(r.chain.dir.path());
    registry.Drop("ITSV", true);
    registry.Add({"ITSV", "", "SQLOLEDB", elsewhere.source()});
  };
  EXPECT_FALSE(r.Run("中心店"));
  EXPECT_EQ(log.executed, Concat(LinkStatementsFor(r.chain), {kUnlink}));
  EXPECT_EQ(r.LocalTables(), before);
}

TEST(RefreshMasterData, PasswordNeverReachesTheDiagnostics) {
  auto sink = std::make_shared<testing::RecordingSink>();
  Refreshing r("diag", sink);
  db::SetAllSettings(r.self->settings(), testing::Settings(r.chain.source(), "clerk", "hunter2",
                                                           r.main(), r.chain.source(), r.local()));
  StatementLog log(r.server);
  log.on_execute = [](int number, std::string_view) {
    if (number == 30) {
      throw db::DbError(db::DbError::Kind::kEngine, "login 'clerk' with 'hunter2' refused");
    }
  };
  EXPECT_FALSE(r.Run("中心店"));
  ASSERT_FALSE(sink->lines.empty());
  bool told = false;
  for (const auto& line : sink->lines) {
    EXPECT_EQ(line.find("hunter2"), std::string::npos) << line;
    told = told || line.find("statement 28") != std::string::npos;
  }
  EXPECT_TRUE(told);
}

}  // namespace
}  // namespace rilo::refresh
