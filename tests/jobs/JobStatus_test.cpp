// Status as a host sees it through ClsRiloSever, on a virtual clock with the real jobs.
#include "rilo/JobStatus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "StoreDatabase.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::Appointment;
using testing::EventKind;
using testing::StoreDatabase;
using testing::VirtualServer;

AutomationDate Date(std::string_view text) { return ParseAutomationDate(text).value(); }

// Virtual time since the server was made.
milliseconds At(const VirtualServer& vs, Clock::TimePoint t) {
  return std::chrono::duration_cast<milliseconds>(t - vs.listener->origin());
}

TEST(JobStatus, AfterASummaryItsRunIsRecordedAndItsTimerCountsFromTheRunsEnd) {
  StoreDatabase db;
  db.AddCategory("面部护理");
  db.AddCategory("美甲");
  db.AddSale("销售服务", "面部护理", 300, "2026-03-08 10:00:00", "中心店");
  VirtualServer vs;
  auto server = vs.Create();
  server->StartServer(Date("2026-03-08"), "中心店", db.settings(), 5000);
  vs.RunFor(5000ms);
  ASSERT_EQ(vs.listener->Count(EventKind::kServerStart), 1u);

  const JobStatusSnapshot status = server->Status();
  ASSERT_EQ(status.jobs.size(), 4u);
  const JobStatus& summary = status.Of(Job::kDailySummary);
  EXPECT_EQ(summary.runs, 1u);
  EXPECT_FALSE(summary.running);
  ASSERT_TRUE(summary.last_run);
  EXPECT_EQ(At(vs, summary.last_run->started), 5000ms);
  // A 1 ms pause after each of the two categories and each of the five pairs.
  EXPECT_EQ(summary.last_run->duration, 7ms);
  EXPECT_TRUE(summary.last_run->event_raised);
  EXPECT_EQ(summary.last_run->failures, 0u);
  EXPECT_FALSE(summary.last_failure);
  EXPECT_TRUE(summary.armed);
  EXPECT_EQ(summary.period, 5000ms);
  ASSERT_TRUE(summary.next_due);
  EXPECT_EQ(At(vs, *summary.next_due), 10007ms);

  const JobStatus& reminder = status.Of(Job::kReminder);
  EXPECT_TRUE(reminder.armed);
  EXPECT_EQ(reminder.period, 60000ms);
  EXPECT_EQ(At(vs, reminder.next_due.value()), 60000ms);
  EXPECT_EQ(reminder.runs, 0u);
  EXPECT_FALSE(reminder.last_run);
  for (Job idle : {Job::kRefresh, Job::kProgressTicker}) {
    EXPECT_FALSE(status.Of(idle).armed);
    EXPECT_FALSE(status.Of(idle).next_due);
  }
  // Wall-clock times are counted back from the moment of the snapshot.
  EXPECT_EQ(status.taken_wall - status.WallClock(summary.last_run->started),
            status.taken - summary.last_run->started);
}

TEST(JobStatus, AFailedRefreshKeepsItsFailureWithTheDatabasesMessageButNoPassword) {
  StoreDatabase local("Store");
  const std::string folder = "sqlite:" + local.file().parent_path().string();
  // The password is the name of the missing database, so the database's message holds it.
  const std::string settings =
      folder + "｜clerk｜NoSuchHQ｜NoSuchHQ｜" + folder + "｜clerk｜NoSuchHQ｜Store";
  VirtualServer vs;
  auto server = vs.Create();
  server->StartUpdate(settings, kVariantTrue, "中心店");
  vs.RunFor(3000ms);
  ASSERT_EQ(vs.listener->Count(EventKind::kTipsUpdate), 1u);

  JobStatus refresh = server->Status().Of(Job::kRefresh);
  EXPECT_EQ(refresh.runs, 1u);
  EXPECT_FALSE(refresh.armed);  // one run per StartUpdate
  EXPECT_EQ(refresh.period, 2000ms);
  ASSERT_TRUE(refresh.last_run);
  EXPECT_EQ(At(vs, refresh.last_run->started), 2000ms);
  EXPECT_TRUE(refresh.last_run->event_raised);
  EXPECT_EQ(refresh.last_run->flag, false);
  EXPECT_GE(refresh.last_run->failures, 1u);
  ASSERT_TRUE(refresh.last_failure);
  const JobFailure failure = *refresh.last_failure;
  EXPECT_EQ(failure.failure_class, FailureClass::kDatabase);
  EXPECT_EQ(failure.where, "RefreshMasterData");
  EXPECT_NE(failure.message.find("Cannot open database \"***\""), std::string::npos)
      << failure.message;
  EXPECT_EQ(failure.message.find("NoSuchHQ"), std::string::npos) << failure.message;

  // A later run that succeeds shows in last_run; the failure stays, with its own run's start.
  server->StartUpdate(settings, kVariantFalse, "中心店");
  vs.RunFor(5000ms);
  refresh = server->Status().Of(Job::kRefresh);
  EXPECT_EQ(refresh.runs, 2u);
  EXPECT_EQ(refresh.last_run->flag, true);
  EXPECT_EQ(refresh.last_run->failures, 0u);
  ASSERT_TRUE(refresh.last_failure);
  EXPECT_EQ(refresh.last_failure->run_started, failure.run_started);
  EXPECT_LT(refresh.last_failure->run_started, refresh.last_run->started);
}

TEST(JobStatus, RemindersShowWhetherTheyRaisedAndNameAnUnreachableDatabase) {
  StoreDatabase db;
  db.AddAppointment(Appointment{});
  VirtualServer vs;
  auto server = vs.Create();
  server->StartServer(Date("2025-03-08"), "中心店", db.settings());

  vs.RunFor(60s);
  JobStatus reminder = server->Status().Of(Job::kReminder);
  EXPECT_EQ(reminder.runs, 1u);
  EXPECT_TRUE(reminder.last_run->event_raised);
  EXPECT_FALSE(reminder.last_run->flag);
  EXPECT_EQ(At(vs, reminder.next_due.value()), 120000ms);

  vs.RunFor(60s);  // the one appointment is reminded: nothing to raise
  reminder = server->Status().Of(Job::kReminder);
  EXPECT_EQ(reminder.runs, 2u);
  EXPECT_FALSE(reminder.last_run->event_raised);
  EXPECT_EQ(reminder.last_run->failures, 0u);
  EXPECT_FALSE(reminder.last_failure);

  db.TakeAway();
  vs.RunFor(60s);
  reminder = server->Status().Of(Job::kReminder);
  EXPECT_EQ(reminder.runs, 3u);
  EXPECT_FALSE(reminder.last_run->event_raised);
  EXPECT_GE(reminder.last_run->failures, 1u);
  ASSERT_TRUE(reminder.last_failure);
  EXPECT_EQ(reminder.last_failure->failure_class, FailureClass::kDatabase);
  EXPECT_EQ(reminder.last_failure->where, "reminder job");
  EXPECT_NE(reminder.last_failure->message.find("open the connection failed"), std::string::npos);
  EXPECT_TRUE(reminder.armed);  // it tries again next minute
  // The summary was never armed (StartInterval 0).
  EXPECT_FALSE(server->Status().Of(Job::kDailySummary).armed);
}

}  // namespace
}  // namespace rilo
