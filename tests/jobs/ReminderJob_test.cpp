// The appointment reminder end to end: ClsRiloSever on a virtual clock, the real job, the
// embedded engine.
#include "jobs/ReminderJob.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "StatementLog.h"
#include "StoreDatabase.h"
#include "db/DbError.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;
using db::StatementKind;
using testing::Appointment;
using testing::EventKind;
using testing::StatementLog;
using testing::StoreDatabase;
using testing::VirtualServer;

constexpr std::string_view kWorkedExampleText =
    "预约顾客：李女士‖顾客电话：13800000000‖预约员工：A03‖预约项目：面部护理‖预约时间：2025-03-09 "
    "14:30";

AutomationDate Date(std::string_view text) { return ParseAutomationDate(text).value(); }

std::vector<std::string> TipsStartTexts(const VirtualServer& vs) {
  std::vector<std::string> out;
  for (const auto& e : vs.listener->Of(EventKind::kTipsStart)) out.push_back(e.text);
  return out;
}

std::vector<std::chrono::milliseconds> TipsStartTimes(const VirtualServer& vs) {
  std::vector<std::chrono::milliseconds> out;
  for (const auto& e : vs.listener->Of(EventKind::kTipsStart)) out.push_back(e.at);
  return out;
}

Appointment At(std::string when, std::string customer) {
  Appointment a;
  a.when = std::move(when);
  a.customer = std::move(customer);
  return a;
}

TEST(ReminderJob, WorkedExampleIsReportedOnceAndMarked) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto id = db.AddAppointment(Appointment{});
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(150s);

  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
  EXPECT_EQ(TipsStartTimes(vs), std::vector<std::chrono::milliseconds>{60s});
  EXPECT_EQ(db.Reminded(id), "1");
  const auto queries = log.Texts(StatementKind::kQuery);
  ASSERT_FALSE(queries.empty());
  EXPECT_EQ(
      queries[0],
      "Select Top 1 服务预约.预约提醒,服务预约.顾客姓名,服务预约.顾客电话,员工信息.员工编号,"
      "服务预约.预约项目,服务预约.预约日期 From 服务预约 LEFT JOIN 员工信息 ON "
      "服务预约.预约员工 = 员工信息.员工编号 Where CONVERT(varchar(100), 服务预约.预约日期, "
      "23) >= '2025-03-08' and 服务预约.所属分店 = '中心店' and 服务预约.预约状态 ='预约' and "
      "服务预约.预约提醒 = 0 ORDER BY 服务预约.预约日期 ASC");
  // One run a minute, each with its own connection.
  EXPECT_EQ(log.Times(StatementKind::kOpen), (std::vector<std::chrono::milliseconds>{60s, 120s}));
}

TEST(ReminderJob, EarliestAppointmentComesFirstOnePerMinute) {
  StoreDatabase db;
  db.AddStaff("A03");
  db.AddAppointment(At("2025-03-08 10:00:00", "Ten"));
  db.AddAppointment(At("2025-03-08 09:00:00", "Nine"));
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(200s);

  const auto texts = TipsStartTexts(vs);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts[0].starts_with("预约顾客：Nine‖")) << texts[0];
  EXPECT_TRUE(texts[0].ends_with("预约时间：2025-03-08 09:00")) << texts[0];
  EXPECT_TRUE(texts[1].starts_with("预约顾客：Ten‖")) << texts[1];
  EXPECT_EQ(TipsStartTimes(vs), (std::vector<std::chrono::milliseconds>{60s, 120s}));
}

TEST(ReminderJob, FromTheBusinessDateOnWithoutUpperBound) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto day_before = db.AddAppointment(At("2025-03-07 23:30:00", "DayBefore"));
  db.AddAppointment(At("2025-03-15 09:00:00", "WeekAhead"));
  db.AddAppointment(At("2025-03-08 08:00:00", "Morning"));
  VirtualServer vs;
  auto server = vs.Create();

  // An afternoon run still reports the morning's appointment: the time of day is not compared.
  server->StartServer(Date("2025-03-08 15:00"), "中心店", db.settings());
  vs.RunFor(250s);

  const auto texts = TipsStartTexts(vs);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts[0].starts_with("预约顾客：Morning‖")) << texts[0];
  EXPECT_TRUE(texts[1].starts_with("预约顾客：WeekAhead‖")) << texts[1];
  EXPECT_TRUE(texts[1].ends_with("预约时间：2025-03-15 09:00")) << texts[1];
  EXPECT_EQ(db.Reminded(day_before), "0");
}

TEST(ReminderJob, OtherStoresOtherStatesAndRemindedOnesAreNeverReported) {
  StoreDatabase db;
  db.AddStaff("A03");
  Appointment other_store;
  other_store.store = "东城店";
  Appointment cancelled;
  cancelled.state = "取消";
  Appointment reminded;
  reminded.reminded = 1;
  const auto a = db.AddAppointment(other_store);
  const auto b = db.AddAppointment(cancelled);
  const auto c = db.AddAppointment(reminded);
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(200s);

  EXPECT_EQ(vs.listener->Count(EventKind::kTipsStart), 0u);
  EXPECT_EQ(db.Reminded(a), "0");
  EXPECT_EQ(db.Reminded(b), "0");
  EXPECT_EQ(db.Reminded(c), "1");
}

TEST(ReminderJob, NullValuesGiveBareLabels) {
  StoreDatabase db;
  db.AddStaff("A03");
  Appointment a;
  a.staff = "Z99";  // no such staff member
  a.phone = std::nullopt;
  a.service = std::nullopt;
  db.AddAppointment(a);
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(60s);

  EXPECT_EQ(TipsStartTexts(vs),
            std::vector<std::string>{
                "预约顾客：李女士‖顾客电话：‖预约员工：‖预约项目：‖预约时间：2025-03-09 14:30"});
}

TEST(ReminderJob, AppointmentTimesHeldAsTextAreReadAsDates) {
  StoreDatabase db("HQ", StoreDatabase::AppointmentDates::kText);
  db.AddStaff("A03");
  db.AddAppointment(At("2025-03-09 14:30:59.997", "李女士"));
  VirtualServer vs;
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(60s);

  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
}

TEST(ReminderJob, RemindersResumeWhenTheDatabaseIsBack) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto id = db.AddAppointment(Appointment{});
  db.TakeAway();
  VirtualServer vs;
  StatementLog log(vs);
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(130s);
  EXPECT_EQ(vs.listener->Count(EventKind::kTipsStart), 0u);
  EXPECT_EQ(log.Times(StatementKind::kOpen), (std::vector<std::chrono::milliseconds>{60s, 120s}));

  db.BringBack();
  vs.RunFor(60s);
  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
  EXPECT_EQ(TipsStartTimes(vs), std::vector<std::chrono::milliseconds>{180s});
  EXPECT_EQ(db.Reminded(id), "1");
}

TEST(ReminderJob, FailedWriteBackReportsAgainNextMinute) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto id = db.AddAppointment(Appointment{});
  int updates = 0;
  VirtualServer vs;
  StatementLog log(vs, [&](StatementKind kind, std::string_view) {
    return kind == StatementKind::kUpdate && ++updates == 1;  // a lost connection, say
  });
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(60s);
  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
  EXPECT_EQ(db.Reminded(id), "0");

  vs.RunFor(120s);
  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>(2, std::string(kWorkedExampleText)));
  EXPECT_EQ(TipsStartTimes(vs), (std::vector<std::chrono::milliseconds>{60s, 120s}));
  EXPECT_EQ(db.Reminded(id), "1");
}

TEST(ReminderJob, TwoServersOnOneStoreReportAnAppointmentOnce) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto id = db.AddAppointment(Appointment{});
  VirtualServer vs;
  auto first = vs.Create();
  auto second = vs.Create();

  first->StartServer(Date("2025-03-08"), "中心店", db.settings());
  second->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(200s);

  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
  EXPECT_EQ(db.Reminded(id), "1");
}

TEST(ReminderJob, ServerThatLosesTheRaceToMarkRaisesNothing) {
  StoreDatabase db;
  db.AddStaff("A03");
  const auto id = db.AddAppointment(Appointment{});
  VirtualServer vs;
  auto other = vs.CreateInstance(component::JobSet{});
  other->StartServer(Date("2025-03-08"), "中心店", db.settings(), 0);
  // Between this server's read and its write-back, the other server runs a whole reminder.
  bool raced = false;
  StatementLog log(vs, [&](StatementKind kind, std::string_view) {
    if (kind == StatementKind::kUpdate && !raced) {
      raced = true;
      jobs::RunReminderJob(*other);
    }
    return false;
  });
  auto server = vs.Create();

  server->StartServer(Date("2025-03-08"), "中心店", db.settings());
  vs.RunFor(150s);

  ASSERT_TRUE(raced);
  EXPECT_EQ(TipsStartTexts(vs), std::vector<std::string>{std::string(kWorkedExampleText)});
  EXPECT_EQ(db.Reminded(id), "1");
  // Both reads and both write-backs went out; only the other server's write changed the row.
  EXPECT_EQ(log.Texts(StatementKind::kUpdate).size(), 2u);
}

struct RecordingSink : DiagnosticsSink {
  void Write(LogLevel, std::string_view where, std::string_view message) override {
    lines.push_back(std::string(where) + ": " + std::string(message));
  }
  std::vector<std::string> lines;
};

TEST(ReminderJob, FailuresNameTheirStepAndNeverThePassword) {
  StoreDatabase db;
  db.AddStaff("A03");
  db.AddAppointment(Appointment{});
  auto sink = std::make_shared<RecordingSink>();
  VirtualServer vs(sink);
  auto server = vs.Create();
  std::string settings = db.settings();
  settings.replace(settings.find("｜｜"), std::string("｜｜").size(), "｜clerk｜s3cret!");

  server->StartServer(Date("2025-03-08"), "中心店", settings);
  vs.RunFor(60s);
  EXPECT_EQ(vs.listener->Count(EventKind::kTipsStart), 1u);
  EXPECT_TRUE(sink->lines.empty()) << sink->lines.front();  // a sound run skips no step

  db.TakeAway();
  server->StartServer(Date("2025-03-08"), "中心店", settings);
  vs.RunFor(60s);
  ASSERT_FALSE(sink->lines.empty());
  EXPECT_NE(sink->lines.front().find("reminder job"), std::string::npos) << sink->lines.front();
  EXPECT_NE(sink->lines.front().find("open the connection"), std::string::npos);
  for (const auto& line : sink->lines) EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
}

}  // namespace
}  // namespace rilo
