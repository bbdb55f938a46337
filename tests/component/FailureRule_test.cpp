#include "component/FailureRule.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "InstanceFixture.h"

namespace rilo::component {
namespace {

using FailureRule = InstanceFixture;

TEST_F(FailureRule, CompletedStepReportsNothing) {
  int ran = 0;
  EXPECT_TRUE(RunStep(context_, "job", "step", [&] { ++ran; }));
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(sink_->lines.empty());
}

TEST_F(FailureRule, FailedStepIsSkippedAndDescribed) {
  EXPECT_FALSE(RunStep(context_, "daily summary job", "open connection",
                       [] { throw std::runtime_error("login refused"); }));
  EXPECT_FALSE(RunStep(context_, "reminder job", "mark", [] { throw 42; }));
  ASSERT_EQ(sink_->lines.size(), 2U);
  EXPECT_EQ(sink_->lines[0].level, LogLevel::kWarning);
  EXPECT_EQ(sink_->lines[0].where, "daily summary job");
  EXPECT_EQ(sink_->lines[0].message, "open connection failed: login refused");
  EXPECT_EQ(sink_->lines[1].message, "mark failed: unknown error");
}

TEST_F(FailureRule, WithoutASinkFailuresStaySilent) {
  ServerContext silent(clock_, nullptr);
  EXPECT_FALSE(RunStep(silent, "job", "step", [] { throw std::runtime_error("x"); }));
}

TEST_F(FailureRule, ThrowingSinkChangesNothing) {
  struct ThrowingSink : DiagnosticsSink {
    void Write(LogLevel, std::string_view, std::string_view) override {
      throw std::runtime_error("disk full");
    }
  };
  ServerContext context(clock_, std::make_shared<ThrowingSink>());
  int next = 0;
  EXPECT_FALSE(RunStep(context, "job", "step", [] { throw std::runtime_error("x"); }));
  EXPECT_TRUE(RunStep(context, "job", "next", [&] { ++next; }));
  EXPECT_EQ(next, 1);
}

TEST_F(FailureRule, MethodWithUnboundTimersStillStoresEverything) {
  auto instance = Make();
  instance->ReleaseFromHost();
  instance->StartServer(46000, " S ", "m｜u｜p｜d", 1000);
  instance->StartRun();
  EXPECT_EQ(instance->StoreName, "S");
  EXPECT_EQ(instance->BusinessDate, 46000);
  EXPECT_EQ(context_.settings.MainServer, "m");
  std::vector<std::string> failed;
  for (const auto& line : sink_->lines) failed.push_back(line.where + ": " + line.message);
  EXPECT_EQ(failed, (std::vector<std::string>{
                        "StartServer: set oTimer period failed: timer is not bound",
                        "StartServer: enable oTimer failed: timer is not bound",
                        "StartServer: set oTimer4 period failed: timer is not bound",
                        "StartServer: enable oTimer4 failed: timer is not bound",
                        "StartRun: set oTimer3 period failed: timer is not bound",
                        "StartRun: enable oTimer3 failed: timer is not bound",
                    }));
}

TEST_F(FailureRule, FailingJobStepLetsTheRestOfTheJobRun) {
  JobSet jobs = ProtocolJobs();
  jobs.reminder = [](Instance& self) {
    RunStep(self.context(), "reminder job", "disable oTimer4",
            [&] { self.oTimer4.SetEnabled(false); });
    RunStep(self.context(), "reminder job", "query",
            [] { throw std::runtime_error("no connection"); });
    std::string text = "after the failure";
    self.RaiseTipsStart(text);
    RunStep(self.context(), "reminder job", "enable oTimer4",
            [&] { self.oTimer4.SetEnabled(true); });
  };
  auto instance = Make(std::move(jobs));
  instance->StartServer(46000, "S", "m｜u｜p｜d", 0);
  RunUntil(120000);
  EXPECT_EQ(Times(EventKind::kTipsStart), (std::vector<long long>{60000, 120000}));
  EXPECT_EQ(sink_->lines.size(), 2U);
}

TEST_F(FailureRule, JobThatThrowsIsCaughtAndItsTimerKeepsItsState) {
  JobSet jobs = ProtocolJobs();
  jobs.daily_summary = [](Instance& self) {
    self.oTimer.SetEnabled(false);
    throw std::runtime_error("escaped");
  };
  auto instance = Make(std::move(jobs));
  instance->StartServer(46000, "S", "m｜u｜p｜d", 1000);
  RunUntil(5000);
  ASSERT_EQ(sink_->lines.size(), 1U);
  EXPECT_EQ(sink_->lines[0].where, "daily summary job");
  EXPECT_EQ(sink_->lines[0].message, "run failed: escaped");
  EXPECT_FALSE(instance->oTimer.Enabled());
}

}  // namespace
}  // namespace rilo::component
