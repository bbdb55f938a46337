// The daily summary end to end: ClsRiloSever on a virtual clock, the real job, the embedded
// engine.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "StatementLog.h"
#include "StoreDatabase.h"
#include "WorkedExample.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;
using db::StatementKind;
using testing::EventKind;
using testing::kWorkedMembershipQuery;
using testing::kWorkedPairList;
using testing::kWorkedSummaryQuery;
using testing::StatementLog;
using testing::StoreDatabase;
using testing::VirtualServer;

constexpr std::string_view kCategoryQuery = "Select 服务类别 From [服务类别] ORDER BY ID ASC";

AutomationDate Date(std::string_view text) { return ParseAutomationDate(text).value(); }

std::string MembershipQuery(std::string_view date, std::string_view store) {
  return "Select sum(case when 操作类型 ='会员办卡' then 消费金额 else 0 end) as 会员开卡,"
         "sum(case when 操作类型 ='会员续卡' then 消费金额 else 0 end) as 会员续卡 From [会员记录]"
         "  Where CONVERT(varchar(100), 办理日期, 23) = '" +
         std::string(date) + "' and 所属分店 = '" + std::string(store) + "'";
}

std::vector<std::string> ServerStartTexts(const VirtualServer& vs) {
  std::vector<std::string> out;
  for (const auto& e : vs.listener->Of(EventKind::kServerStart)) out.push_back(e.text);
  return out;
}

TEST(DailySummaryJob, WorkedExampleSendsTheExactQueriesAndRaisesThePairList) {
  StoreDatabase db;
  FillWorkedExample(db);
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08 14:30"), "  Riverside ", db.settings(), 5000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 20s));

  EXPECT_EQ(log.Texts(StatementKind::kQuery),
            (std::vector<std::string>{std::string(kCategoryQuery), std::string(kWorkedSummaryQuery),
                                      std::string(kWorkedMembershipQuery)}));
  EXPECT_EQ(ServerStartTexts(vs), std::vector<std::string>{std::string(kWorkedPairList)});
  // The event ends a run that paused 1 ms after each of 3 category rows and 6 pairs.
  EXPECT_EQ(vs.listener->Of(EventKind::kServerStart).at(0).at, 5009ms);
}

TEST(DailySummaryJob, NextRunComesOnePeriodAfterTheEndOfThePreviousOne) {
  StoreDatabase db;
  FillWorkedExample(db);
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 5000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 3; }, 30s));

  const auto events = vs.listener->Of(EventKind::kServerStart);
  EXPECT_EQ(events[0].at, 5009ms);
  EXPECT_EQ(events[1].at, 5009ms + 5000ms + 9ms);
  EXPECT_EQ(events[2].at, 3 * (5000ms + 9ms));
  EXPECT_EQ(events[2].text, events[0].text);  // the business date never advances
}

TEST(DailySummaryJob, DayWithoutCategoriesAndWithoutBusinessStillReports) {
  StoreDatabase db;
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(ServerStartTexts(vs), std::vector<std::string>{"商品销售‖0｜会员开卡‖0｜会员续卡‖0"});
  ASSERT_EQ(log.Texts(StatementKind::kQuery).size(), 3u);
  EXPECT_EQ(log.Texts(StatementKind::kQuery)[1],
            "Select sum(case when 销售类型 ='销售商品' then 售价 else 0 end) as 商品销售 From "
            "[销售详情] Where CONVERT(varchar(100), 消费日期, 23) = '2026-03-08' and 所属分店 = "
            "'Riverside'");
}

TEST(DailySummaryJob, QuotesInNamesAreWrittenSafelyAndNamesThatFilterToNothingAreLeftOut) {
  StoreDatabase db;
  db.AddCategory("Men's care");
  db.AddCategory("'/'");  // nothing is left of it for a column name
  db.AddCategory("The \"Best\"");
  db.AddCategory(" ; ");  // leaves blanks only
  db.Exec("INSERT INTO 服务类别(服务类别) VALUES('Nail' || char(0) || 'art')");  // SQL cannot carry it
  db.AddCategory("Facial");
  db.AddSale("销售服务", "Men's care", 88, "2026-03-08 10:00:00", "O'Brien's");
  db.AddSale("销售服务", "'/'", 5, "2026-03-08 10:00:00", "O'Brien's");
  db.AddSale("销售计次", "The \"Best\"", 12.25, "2026-03-08 10:00:00", "O'Brien's");
  db.AddSale("销售服务", "Facial", 30, "2026-03-08 10:00:00", "O'Brien's");
  db.AddSale("销售服务", "Facial", 1, "2026-03-08 10:00:00", "OBriens");
  db.Exec("INSERT INTO 销售详情(销售类型,项目类型,售价,消费日期,所属分店) VALUES('销售服务', "
          "'Nail' || char(0) || 'art', 7, '2026-03-08 10:00:00', 'O''Brien''s')");
  db.AddMembership("会员续卡", 600, "2026-03-08 10:00:00", "O'Brien's");
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "O'Brien's", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(ServerStartTexts(vs),
            std::vector<std::string>{"Mens care‖88｜The \"Best\"‖12.25｜Facial‖30｜商品销售‖0｜"
                                     "会员开卡‖0｜会员续卡‖600"});
  const auto queries = log.Texts(StatementKind::kQuery);
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_NE(queries[1].find("项目类型= 'Men''s care' then 售价 else 0 end) as \"Mens care\","),
            std::string::npos);
  EXPECT_NE(queries[1].find("as \"The \"\"Best\"\"\","), std::string::npos);
  EXPECT_NE(queries[1].find("所属分店 = 'O''Brien''s'"), std::string::npos);
  EXPECT_EQ(queries[1].find("'''/'''"), std::string::npos);
  EXPECT_EQ(queries[2], MembershipQuery("2026-03-08", "O''Brien''s"));
}

TEST(DailySummaryJob, NullCategoryGetsNoPairAndTheOthersStand) {
  StoreDatabase db;
  db.AddCategory("Facial");
  db.AddCategory(std::nullopt);
  db.AddCategory("Body care");
  db.AddSale("销售服务", "Facial", 10, "2026-03-08 10:00:00", "Riverside");
  db.AddSale("销售服务", "Body care", 20, "2026-03-08 10:00:00", "Riverside");
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(
      ServerStartTexts(vs),
      std::vector<std::string>{"Facial‖10｜Body care‖20｜商品销售‖0｜会员开卡‖0｜会员续卡‖0"});
}

TEST(DailySummaryJob, EqualFilteredNamesGiveTwoPairsInCategoryOrder) {
  StoreDatabase db;
  db.AddCategory("Nails/Hands");
  db.AddCategory("NailsHands");
  db.AddSale("销售服务", "Nails/Hands", 300, "2026-03-08 10:00:00", "Riverside");
  db.AddSale("销售服务", "NailsHands", 40, "2026-03-08 10:00:00", "Riverside");
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(ServerStartTexts(vs),
            std::vector<std::string>{
                "NailsHands‖300｜NailsHands‖40｜商品销售‖0｜会员开卡‖0｜会员续卡‖0"});
}

TEST(DailySummaryJob, TimeOfTheBusinessDateMakesNoDifference) {
  StoreDatabase db;
  FillWorkedExample(db);
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08 00:00"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));
  const auto first_queries = log.Texts(StatementKind::kQuery);
  log.Clear();
  server->StartServer(Date("2026-03-08 23:59:59"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 2; }, 10s));

  EXPECT_EQ(log.Texts(StatementKind::kQuery), first_queries);
  const auto texts = ServerStartTexts(vs);
  EXPECT_EQ(texts[1], texts[0]);
  EXPECT_EQ(texts[0], std::string(kWorkedPairList));
}

TEST(DailySummaryJob, FailingMembershipQueryLeavesTheCategoryAndProductPairs) {
  StoreDatabase db;
  FillWorkedExample(db);
  VirtualServer vs;
  StatementLog log(vs, [](StatementKind kind, std::string_view text) {
    return kind == StatementKind::kQuery && text.starts_with("Select sum(case when 操作类型");
  });
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(ServerStartTexts(vs),
            std::vector<std::string>{"Facial‖1280.5｜Body care‖0｜NailsHands‖300｜商品销售‖156"});
  // 3 category rows and 4 pairs paused; the failed query's walk ended at once.
  EXPECT_EQ(vs.listener->Of(EventKind::kServerStart).at(0).at, 1007ms);
}

TEST(DailySummaryJob, FailingSummaryQueryStillReportsTheMembershipPairs) {
  StoreDatabase db;
  FillWorkedExample(db);
  VirtualServer vs;
  StatementLog log(vs, [](StatementKind kind, std::string_view text) {
    return kind == StatementKind::kQuery && text.find("商品销售") != std::string_view::npos;
  });
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 1000);
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));

  EXPECT_EQ(ServerStartTexts(vs), std::vector<std::string>{"会员开卡‖2000｜会员续卡‖0"});
}

TEST(DailySummaryJob, UnreachableDatabaseRaisesNothingAndTheTimerKeepsRunning) {
  StoreDatabase db;
  FillWorkedExample(db);
  db.TakeAway();
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2026-03-08"), "Riverside", db.settings(), 5000);
  vs.RunFor(12s);
  EXPECT_EQ(vs.listener->Count(EventKind::kServerStart), 0u);
  // Each failed run is over at once, so the next one starts a period later.
  EXPECT_EQ(log.Times(StatementKind::kOpen), (std::vector<std::chrono::milliseconds>{5s, 10s}));

  db.BringBack();
  ASSERT_TRUE(vs.RunUntil([&] { return vs.listener->Count(EventKind::kServerStart) == 1; }, 10s));
  EXPECT_EQ(vs.listener->Of(EventKind::kServerStart).at(0).at, 15009ms);
  EXPECT_EQ(ServerStartTexts(vs).at(0), std::string(kWorkedPairList));
}

}  // namespace
}  // namespace rilo
