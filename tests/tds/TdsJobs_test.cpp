// The jobs end to end over the production path: ClsRiloSever on a virtual clock, the SQL Server
// engine, unixODBC and FreeTDS, against the test server on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "db/odbc/UnicodeLiterals.h"
#include "jobs/StoreDatabase.h"
#include "jobs/WorkedExample.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

using namespace std::chrono_literals;
using rilo::testing::Appointment;
using rilo::testing::EventKind;
using rilo::testing::StoreDatabase;
using rilo::testing::VirtualServer;

AutomationDate Date(std::string_view text) { return ParseAutomationDate(text).value(); }

constexpr std::string_view kReminderText =
    "预约顾客：李女士‖顾客电话：13800000000‖预约员工：A03‖预约项目：面部护理‖预约时间：2025-03-09 "
    "14:30";

using TdsJobs = TdsJobsFixture;

TEST_F(TdsJobs, SummaryWorkedExampleGivesTheExactPairList) {
  FillWorkedExample(db_);
  Serve();
  auto server = vs_.Create();

  server->StartServer(Date("2026-03-08 14:30"), "  Riverside ", Settings(), 5000);
  ASSERT_TRUE(vs_.RunUntil([&] { return vs_.listener->Count(EventKind::kServerStart) == 1; }, 20s));

  EXPECT_EQ(Texts(EventKind::kServerStart),
            std::vector<std::string>{std::string(rilo::testing::kWorkedPairList)});
  // The statements reached the server byte for byte through UTF-16, their literals Unicode.
  const std::string summary = db::odbc::WithUnicodeLiterals(rilo::testing::kWorkedSummaryQuery);
  const std::string membership =
      db::odbc::WithUnicodeLiterals(rilo::testing::kWorkedMembershipQuery);
  EXPECT_NE(summary.find("项目类型= N'Facial'"), std::string::npos);
  EXPECT_EQ(server_->statements(),
            (std::vector<std::string>{"Select 服务类别 From [服务类别] ORDER BY ID ASC", summary,
                                      membership}));
}

TEST_F(TdsJobs, ReminderWorkedExampleIsReportedOnceAndMarkedThroughTheKey) {
  db_.AddStaff("A03");
  const auto id = db_.AddAppointment(Appointment{});
  Serve();
  auto server = vs_.Create();

  server->StartServer(Date("2025-03-08"), "中心店", Settings());
  vs_.RunFor(150s);
  SettleServer();

  EXPECT_EQ(Texts(EventKind::kTipsStart), std::vector<std::string>{std::string(kReminderText)});
  EXPECT_EQ(db_.Reminded(id), "1");
  // The write-back went out with parameters, through the key, guarded by the value it read.
  const std::vector<std::string> sent = server_->statements();
  EXPECT_NE(std::ranges::find_if(sent,
                                 [](const std::string& s) {
                                   return s.starts_with(
                                       "UPDATE [服务预约] SET [预约提醒] = @P1 WHERE [ID] = @P2 "
                                       "AND [预约提醒] = @P3");
                                 }),
            sent.end());
}

TEST_F(TdsJobs, ReminderSeesARowChangedBetweenItsReadAndItsWrite) {
  db_.AddStaff("A03");
  const auto id = db_.AddAppointment(Appointment{});
  std::atomic<bool> raced = false;
  TdsServerOptions options;
  options.before_statement = [&](std::string_view sql) {
    if (sql.find("UPDATE") != std::string_view::npos && !raced.exchange(true)) {
      db_.Exec("UPDATE 服务预约 SET 预约提醒 = 1 WHERE ID = " + std::to_string(id));
    }
  };
  Serve(options);
  auto server = vs_.Create();

  server->StartServer(Date("2025-03-08"), "中心店", Settings());
  vs_.RunFor(150s);
  SettleServer();

  ASSERT_TRUE(raced);
  // The other client's mark stands, and this server never reports the row again.
  EXPECT_EQ(db_.Reminded(id), "1");
  EXPECT_TRUE(Texts(EventKind::kTipsStart).empty());
}

TEST_F(TdsJobs, RefusedLoginRaisesNothingAndLeavesTheRowUnmarked) {
  db_.AddStaff("A03");
  const auto id = db_.AddAppointment(Appointment{});
  Serve();
  auto server = vs_.Create();

  server->StartServer(Date("2025-03-08"), "中心店", Settings("wrong"));
  vs_.RunFor(150s);
  SettleServer();

  EXPECT_TRUE(Texts(EventKind::kTipsStart).empty());
  EXPECT_EQ(db_.Reminded(id), "0");
}

TEST_F(TdsJobs, ServerGoingAwayMidRunIsSurvivedAndTheNextRunWorks) {
  db_.AddStaff("A03");
  const auto id = db_.AddAppointment(Appointment{});
  std::atomic<int> dropped = 0;
  TdsServerOptions options;
  options.drop_connection_on = [&](std::string_view sql) {
    return sql.find("服务预约") != std::string_view::npos && dropped++ == 0;
  };
  Serve(options);
  auto server = vs_.Create();

  server->StartServer(Date("2025-03-08"), "中心店", Settings());
  vs_.RunFor(90s);
  SettleServer();
  EXPECT_TRUE(Texts(EventKind::kTipsStart).empty());
  EXPECT_EQ(db_.Reminded(id), "0");

  vs_.RunFor(60s);
  SettleServer();
  EXPECT_EQ(Texts(EventKind::kTipsStart), std::vector<std::string>{std::string(kReminderText)});
  EXPECT_EQ(db_.Reminded(id), "1");
}

}  // namespace
}  // namespace rilo::tds::testing
