#include "refresh/RefreshJob.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "db/sqlite/LinkedServerRegistry.h"
#include "refresh/ExpectedStatements.h"
#include "refresh/RefreshFixture.h"
#include "rilo/ClsRiloSever.h"
#include "support/VirtualServer.h"

namespace rilo::refresh {
namespace {

using rilo::testing::EventKind;
using std::chrono::milliseconds;
using testing::Chain;
using testing::StatementLog;

const std::string kUnlink = "exec sp_dropserver 'ITSV' , 'droplogins'";

// A host on a virtual clock with the real jobs, and a sample chain to refresh from.
struct Host {
  explicit Host(std::string_view tag) : chain(tag), host(server.Create()) {}

  testing::Snapshot LocalTables() const { return chain.LocalTables(); }
  testing::Snapshot MainTables(const std::string& store) const { return chain.MainTables(store); }
  std::string BadSettings() const {
    return testing::Settings(chain.source(), "", "", "NoSuchHQ", chain.source(),
                             chain.info.local_database);
  }
  std::vector<rilo::testing::RecordedEvent> Tips() const {
    return server.listener->Of(EventKind::kTipsUpdate);
  }

  Chain chain;
  rilo::testing::VirtualServer server;
  std::shared_ptr<ClsRiloSever> host;
};

std::vector<std::string> OneRun(const Chain& chain, const std::string& store) {
  std::vector<std::string> out = {
      "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '" + chain.source() + "'",
      "exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , '' , ''"};
  const auto batch = testing::ExpectedBatch("HQ", store);
  out.insert(out.end(), batch.begin(), batch.end());
  out.push_back(kUnlink);
  return out;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(RefreshJob, FlagOffReportsTrueAfterThePauseAndTouchesNothing) {
  for (VariantBool flag : {VariantBool{0}, VariantBool{1}, VariantBool{0x7FFF}, VariantBool{-2}}) {
    SCOPED_TRACE(flag);
    Host h("flag-off");
    const auto before = h.LocalTables();
    StatementLog log(h.server);
    h.host->StartRun();
    h.host->StartUpdate(h.chain.settings(), flag, "中心店");
    h.server.RunFor(milliseconds(8000));

    const auto tips = h.Tips();
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips[0].at, milliseconds(4500));
    EXPECT_EQ(tips[0].number, kVariantTrue);
    EXPECT_TRUE(log.opened.empty());
    EXPECT_TRUE(log.executed.empty());
    EXPECT_EQ(h.LocalTables(), before);

    // The busy indicator stands still while the job sleeps.
    std::size_t during_sleep = 0, after = 0;
    for (const auto& e : h.server.listener->Of(EventKind::kWorkProcess)) {
      if (e.at > milliseconds(2000) && e.at < milliseconds(4500)) ++during_sleep;
      if (e.at > milliseconds(4500)) ++after;
    }
    EXPECT_EQ(during_sleep, 0u);
    EXPECT_GT(after, 300u);
  }
}

TEST(RefreshJob, FlagOnReportsTheRefreshOnceAndIsNotRearmed) {
  Host h("flag-on");
  StatementLog log(h.server);
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(20000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].at, milliseconds(2080));
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(log.executed, OneRun(h.chain, "中心店"));
  EXPECT_EQ(h.LocalTables(), h.MainTables("中心店"));
}

TEST(RefreshJob, FailedRefreshIsReportedAsFalse) {
  Host h("flag-on-fail");
  const auto before = h.LocalTables();
  h.host->StartUpdate(h.BadSettings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(5000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].number, kVariantFalse);
  // Statement 21, the first read from head office, fails: 2 + 1 + 20 pauses.
  EXPECT_EQ(tips[0].at, milliseconds(2023));
  EXPECT_EQ(h.LocalTables(), before);
}

TEST(RefreshJob, TwoCallsWithinThePeriodGiveOneRunWithTheSecondCallsValues) {
  Host h("two-calls");
  StatementLog log(h.server);
  h.host->StartUpdate(h.BadSettings(), kVariantFalse, "东城店");
  h.server.RunFor(milliseconds(1500));
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(10000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].at, milliseconds(1500 + 2000 + 80));
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(log.executed, OneRun(h.chain, "中心店"));
  EXPECT_EQ(h.LocalTables(), h.MainTables("中心店"));
}

TEST(RefreshJob, CallArrivingDuringARunStartsItsOwnRunAfterTheFirstEnds) {
  Host h("during-run");
  StatementLog log(h.server);
  log.on_execute = [&](int number, std::string_view) {
    if (number == 7) {
      // Served at the next yield of the run, as a host call from outside would be.
      h.server.thread->context().loop.Post(
          [&] { h.host->StartUpdate(h.chain.settings(), kVariantTrue, "东城店"); });
    }
    if (number == 8) h.server.clock->Advance(milliseconds(3000));  // a slow statement
  };
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(20000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(tips[1].number, kVariantTrue);
  EXPECT_EQ(tips[0].at, milliseconds(2000 + 80 + 3000));
  EXPECT_GE(tips[1].at, tips[0].at + milliseconds(80));
  // Not nested: the second run's statements all come after the first run's unlink.
  EXPECT_EQ(log.executed, Concat(OneRun(h.chain, "中心店"), OneRun(h.chain, "东城店")));
  EXPECT_EQ(h.LocalTables(), h.MainTables("东城店"));
}

TEST(RefreshJob, CallNamingAnotherLocalServerDuringARunLeavesNoLinkOnEither) {
  Host h("move-local");
  Chain other_local("move-local-other");
  const std::string moved = testing::Settings(h.chain.source(), "", "", "HQ", other_local.source(),
                                              other_local.info.local_database);
  for (const int landing : {1, 2, 7, 76, 78}) {
    SCOPED_TRACE(landing);
    StatementLog log(h.server);
    log.on_execute = [&](int number, std::string_view) {
      if (number != landing) return;
      // Served at the next yield of the run, as a host call from outside would be.
      h.server.thread->context().loop.Post(
          [&] { h.host->StartUpdate(moved, kVariantTrue, "东城店"); });
    };
    h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
    h.server.RunFor(milliseconds(10000));

    EXPECT_FALSE(db::sqlite::LinkedServerRegistry(h.chain.dir.path()).Find("ITSV"));
    EXPECT_FALSE(db::sqlite::LinkedServerRegistry(other_local.dir.path()).Find("ITSV"));
    // Each run kept to its own local server from start to end.
    EXPECT_EQ(log.executed, Concat(OneRun(h.chain, "中心店"), OneRun(h.chain, "东城店")));
    EXPECT_EQ(h.LocalTables(), h.MainTables("中心店"));
    EXPECT_EQ(testing::MasterTables(other_local.source(), other_local.info.local_database),
              h.MainTables("东城店"));
  }
  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 10u);
  for (const auto& tip : tips) EXPECT_EQ(tip.number, kVariantTrue);
}

TEST(RefreshJob, RefreshOfAnotherInstanceWaitsForTheOneUnderWay) {
  Host h("two-instances");
  auto other = h.server.Create();
  StatementLog log(h.server);
  log.on_execute = [&](int number, std::string_view) {
    if (number == 12) h.server.clock->Advance(milliseconds(1500));
  };
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(1000));
  other->StartUpdate(h.chain.settings(), kVariantTrue, "东城店");
  h.server.RunFor(milliseconds(20000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(tips[1].number, kVariantTrue);
  EXPECT_EQ(log.executed, Concat(OneRun(h.chain, "中心店"), OneRun(h.chain, "东城店")));
  EXPECT_EQ(h.LocalTables(), h.MainTables("东城店"));
}

TEST(RefreshJob, ListenerWritingFalseChangesNothing) {
  Host h("listener-false");
  h.server.listener->on_tips_update = [](VariantBool& Pd) { Pd = kVariantFalse; };
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(5000));
  h.host->StartUpdate(h.chain.settings(), kVariantTrue, "中心店");
  h.server.RunFor(milliseconds(5000));

  const auto tips = h.Tips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].number, kVariantTrue);
  EXPECT_EQ(tips[1].number, kVariantTrue);
  EXPECT_EQ(h.LocalTables(), h.MainTables("中心店"));
}

}  // namespace
}  // namespace rilo::refresh
