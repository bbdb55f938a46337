#include "component/Instance.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InstanceFixture.h"
#include "component/frmClock.h"
#include "rilo/automation.h"

namespace rilo::component {
namespace {

using InstanceMethods = InstanceFixture;
using InstanceTimers = InstanceFixture;

const std::string kMain = "main-srv｜sa｜pw｜MainDb";
const std::string kAll = "main-srv｜sa｜pw｜MainDb｜local-srv｜lu｜lp｜LocalDb";

TEST_F(InstanceMethods, CreationLeavesEveryTimerBoundAndDisabled) {
  auto instance = Make();
  ASSERT_TRUE(instance->ClockForm);
  EXPECT_TRUE(instance->ClockForm->Loaded());
  for (TimerRef* timer :
       {&instance->oTimer, &instance->oTimer2, &instance->oTimer3, &instance->oTimer4}) {
    EXPECT_TRUE(timer->IsBound());
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 0);
  }
  EXPECT_EQ(instance->BusinessDate, 0);
  EXPECT_EQ(instance->StoreName, "");
  EXPECT_EQ(instance->RefreshEnabled, kVariantFalse);
  RunUntil(3'600'000);
  EXPECT_TRUE(listener_->events().empty());
}

TEST_F(InstanceMethods, StartServerStoresAndArmsWithoutRunningAJob) {
  auto instance = Make();
  const AutomationDate date = *ParseAutomationDate("2026-03-08");
  instance->StartServer(date, "  中心店 一号  ", kMain + "｜ignored｜parts", 5000);
  EXPECT_EQ(context_.settings.MainServer, "main-srv");
  EXPECT_EQ(context_.settings.MainUser, "sa");
  EXPECT_EQ(context_.settings.MainPassword, "pw");
  EXPECT_EQ(context_.settings.MainDatabase, "MainDb");
  EXPECT_EQ(context_.settings.LocalServer, "");
  EXPECT_EQ(instance->BusinessDate, date);
  EXPECT_EQ(instance->StoreName, "中心店 一号");
  EXPECT_EQ(instance->oTimer.Interval(), 5000);
  EXPECT_TRUE(instance->oTimer.Enabled());
  EXPECT_EQ(instance->oTimer4.Interval(), 60000);
  EXPECT_TRUE(instance->oTimer4.Enabled());
  EXPECT_FALSE(instance->oTimer2.Enabled());
  EXPECT_FALSE(instance->oTimer3.Enabled());
  EXPECT_TRUE(listener_->events().empty()) << "a method never raises an event";
}

TEST_F(InstanceMethods, StartUpdateStoresAllSettingsAndLeavesTheDateAlone) {
  auto instance = Make();
  instance->StartServer(46000, "A", kMain, 0);
  instance->StartUpdate(kAll, kVariantTrue, " B ");
  EXPECT_EQ(context_.settings.LocalServer, "local-srv");
  EXPECT_EQ(context_.settings.LocalUser, "lu");
  EXPECT_EQ(context_.settings.LocalPassword, "lp");
  EXPECT_EQ(context_.settings.LocalDatabase, "LocalDb");
  EXPECT_EQ(instance->RefreshEnabled, kVariantTrue);
  EXPECT_EQ(instance->StoreName, "B");
  EXPECT_EQ(instance->BusinessDate, 46000);
  EXPECT_EQ(instance->oTimer2.Interval(), 2000);
  EXPECT_TRUE(instance->oTimer2.Enabled());
}

TEST_F(InstanceMethods, StartServerAfterStartUpdateKeepsLocalSettingsAndFlag) {
  auto instance = Make();
  instance->StartUpdate(kAll, 1, "B");  // 1 is stored as received, though not True
  instance->StartServer(46001, "C", "m2｜u2｜p2｜d2", 0);
  EXPECT_EQ(context_.settings.MainServer, "m2");
  EXPECT_EQ(context_.settings.MainDatabase, "d2");
  EXPECT_EQ(context_.settings.LocalServer, "local-srv");
  EXPECT_EQ(context_.settings.LocalDatabase, "LocalDb");
  EXPECT_EQ(instance->RefreshEnabled, 1);
  EXPECT_EQ(instance->StoreName, "C");
}

TEST_F(InstanceMethods, SecondStartServerChangesWhatTheJobsUse) {
  auto instance = Make();
  instance->StartServer(46000, "First", kMain, 60000);
  RunUntil(60000);
  instance->StartServer(46001, "Second", kMain, 60000);
  RunUntil(120000);
  EXPECT_EQ(Texts(EventKind::kServerStart),
            (std::vector<std::string>{"takings of First", "takings of Second"}));
  EXPECT_EQ(Texts(EventKind::kTipsStart),
            (std::vector<std::string>{"reminder for First", "reminder for Second"}));
  EXPECT_EQ(instance->BusinessDate, 46001);
}

TEST_F(InstanceTimers, WithoutStartIntervalOnlyTheReminderRuns) {
  auto instance = Make();
  instance->StartServer(46000, "S", kMain, 0);
  RunUntil(300000);
  EXPECT_EQ(listener_->Count(EventKind::kServerStart), 0U);
  EXPECT_EQ(Times(EventKind::kTipsStart),
            (std::vector<long long>{60000, 120000, 180000, 240000, 300000}));
}

TEST_F(InstanceTimers, FirstSummaryComesStartIntervalAfterTheCall) {
  auto instance = Make();
  RunUntil(700);
  instance->StartServer(46000, "S", kMain, 5000);
  RunUntil(16000);
  EXPECT_EQ(Times(EventKind::kServerStart), (std::vector<long long>{5700, 10700, 15700}));
}

TEST_F(InstanceTimers, RefusedStartIntervalKeepsThePreviousPeriod) {
  auto instance = Make();
  instance->StartServer(46000, "S", kMain, -1);
  EXPECT_EQ(instance->oTimer.Interval(), 0);
  EXPECT_TRUE(instance->oTimer.Enabled()) << "the enabling step runs all the same";
  EXPECT_EQ(instance->StoreName, "S");
  EXPECT_TRUE(instance->oTimer4.Enabled()) << "later steps run after the refused one";
  RunUntil(30000);
  EXPECT_EQ(listener_->Count(EventKind::kServerStart), 0U);

  instance->StartServer(46000, "S", kMain, 5000);
  RunUntil(32000);
  instance->StartServer(46000, "S", kMain, -5);
  EXPECT_EQ(instance->oTimer.Interval(), 5000);
  RunUntil(40000);
  // The refused call at 32000 kept the 5000 ms period and restarted the countdown.
  EXPECT_EQ(Times(EventKind::kServerStart), (std::vector<long long>{37000}));
}

TEST_F(InstanceTimers, StartUpdateArmsExactlyOneRefreshAfterTwoSeconds) {
  auto instance = Make();
  instance->StartUpdate(kAll, kVariantTrue, "S");
  RunUntil(600000);
  EXPECT_EQ(Times(EventKind::kTipsUpdate), (std::vector<long long>{2000}));
  EXPECT_FALSE(instance->oTimer2.Enabled());
}

TEST_F(InstanceTimers, TwoStartUpdatesWithinTwoSecondsGiveOneRunWithTheSecondValues) {
  auto instance = Make();
  instance->StartUpdate(kAll, kVariantFalse, "First");
  RunUntil(1500);
  instance->StartUpdate(kAll, kVariantTrue, "Second");
  RunUntil(60000);
  EXPECT_EQ(Times(EventKind::kTipsUpdate), (std::vector<long long>{3500}));
  EXPECT_EQ(Numbers(EventKind::kTipsUpdate), (std::vector<std::int32_t>{kVariantTrue}));
}

TEST_F(InstanceTimers, ReminderPeriodCountsFromTheEndOfASlowListener) {
  auto instance = Make();
  listener_->on_tips_start = [&](std::string&) {
    if (listener_->Count(EventKind::kTipsStart) == 1) clock_->Advance(std::chrono::seconds(3));
  };
  instance->StartServer(46000, "S", kMain, 0);
  RunUntil(200000);
  EXPECT_EQ(Times(EventKind::kTipsStart), (std::vector<long long>{60000, 123000, 183000}));
}

TEST_F(InstanceTimers, SecondRefreshWaitsForTheSuspendedFirstRun) {
  int depth = 0;
  int max_depth = 0;
  std::vector<std::pair<long long, long long>> runs;  // start, end
  std::shared_ptr<Instance> instance;
  JobSet jobs = ProtocolJobs();
  jobs.refresh = [&](Instance& self) {
    self.oTimer2.SetEnabled(false);
    ++depth;
    max_depth = std::max(max_depth, depth);
    const long long start = Now();
    if (runs.empty()) {
      // The host calls StartUpdate again while this run is suspended in a yield.
      context_.loop.Post([&] { instance->StartUpdate(kAll, kVariantTrue, "S"); });
    }
    for (int i = 0; i < 5; ++i) {
      self.Yield();
      self.Sleep(std::chrono::milliseconds(1000));
    }
    runs.emplace_back(start, Now());
    VariantBool result = kVariantTrue;
    self.RaiseTipsUpdate(result);
    --depth;
  };
  instance = Make(std::move(jobs));
  instance->StartUpdate(kAll, kVariantTrue, "S");
  RunUntil(20000);
  EXPECT_EQ(max_depth, 1) << "the second run must not run nested in the first";
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0], (std::pair<long long, long long>{2000, 7000}));
  EXPECT_EQ(runs[1].first, 7000) << "held back until the first run ended";
  EXPECT_EQ(listener_->Count(EventKind::kTipsUpdate), 2U);
}

TEST_F(InstanceTimers, YieldingJobLetsTheTickerRunNested) {
  JobSet jobs = ProtocolJobs();
  jobs.daily_summary = [](Instance& self) {
    self.oTimer.SetEnabled(false);
    for (int row = 0; row < 50; ++row) {
      self.Yield();
      self.Sleep(std::chrono::milliseconds(1));
    }
    std::string pairs = "done";
    self.RaiseServerStart(pairs);
    self.oTimer.SetEnabled(true);
  };
  auto instance = Make(std::move(jobs));
  instance->StartRun();
  instance->StartServer(46000, "S", kMain, 1000);
  RunUntil(1050);
  auto work = Times(EventKind::kWorkProcess);
  // From 1000 to 1050 the summary runs; the ticker keeps ticking inside it.
  EXPECT_EQ(std::count_if(work.begin(), work.end(), [](long long t) { return t > 1000; }), 5);
  EXPECT_EQ(Times(EventKind::kServerStart), (std::vector<long long>{1050}));
}

TEST_F(InstanceTimers, SleepingJobStopsEverythingElse) {
  JobSet jobs = ProtocolJobs();
  jobs.refresh = [](Instance& self) {
    self.oTimer2.SetEnabled(false);
    VariantBool result = kVariantTrue;
    self.Yield();
    self.Sleep(std::chrono::milliseconds(2500));
    self.RaiseTipsUpdate(result);
  };
  auto instance = Make(std::move(jobs));
  instance->StartRun();
  instance->StartUpdate(kAll, kVariantFalse, "S");
  RunUntil(4600);
  auto work = Times(EventKind::kWorkProcess);
  EXPECT_EQ(
      std::count_if(work.begin(), work.end(), [](long long t) { return t > 2000 && t < 4500; }), 0);
  EXPECT_EQ(Times(EventKind::kTipsUpdate), (std::vector<long long>{4500}));
}

TEST_F(InstanceTimers, TwoInstancesShareSettingsAndKeepTheirOwnTimers) {
  auto first = Make();
  auto second = Make();
  first->StartServer(46000, "One", "m1｜u1｜p1｜d1", 5000);
  second->StartServer(46000, "Two", "m2｜u2｜p2｜d2", 7000);
  EXPECT_EQ(context_.settings.MainServer, "m2") << "the last call of either instance wins";
  EXPECT_NE(first->oTimer.Interval(), second->oTimer.Interval());
  RunUntil(15000);
  EXPECT_EQ(Texts(EventKind::kServerStart),
            (std::vector<std::string>{"takings of One", "takings of Two", "takings of One",
                                      "takings of Two", "takings of One"}));
  EXPECT_EQ(Times(EventKind::kServerStart),
            (std::vector<long long>{5000, 7000, 10000, 14000, 15000}));
}

TEST_F(InstanceTimers, EmptyJobEntryStopsItsTimer) {
  auto instance = Make(JobSet{});
  instance->StartServer(46000, "S", kMain, 10);
  instance->StartUpdate(kAll, kVariantTrue, "S");
  RunUntil(60000);
  EXPECT_FALSE(instance->oTimer.Enabled());
  EXPECT_FALSE(instance->oTimer2.Enabled());
  EXPECT_FALSE(instance->oTimer4.Enabled());
  EXPECT_TRUE(listener_->events().empty());
}

}  // namespace
}  // namespace rilo::component
