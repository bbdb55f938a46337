#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "InstanceFixture.h"
#include "component/frmClock.h"

namespace rilo::component {
namespace {

using Lifetime = InstanceFixture;

const std::string kAll = "m｜u｜p｜d｜l｜lu｜lp｜ld";

TEST_F(Lifetime, ReleaseStopsAllEvents) {
  auto instance = Make();
  instance->StartRun();
  instance->StartServer(46000, "S", kAll, 1000);
  instance->StartUpdate(kAll, kVariantTrue, "S");
  RunUntil(30000);
  ASSERT_GT(listener_->events().size(), 0U);
  const auto before = listener_->events().size();
  instance->ReleaseFromHost();
  for (TimerRef* timer :
       {&instance->oTimer, &instance->oTimer2, &instance->oTimer3, &instance->oTimer4}) {
    EXPECT_FALSE(timer->IsBound());
  }
  instance->StartUpdate(kAll, kVariantTrue, "S");  // no timer to arm, still no failure out
  RunUntil(600000);
  EXPECT_EQ(listener_->events().size(), before);
}

TEST_F(Lifetime, DestructionRemovesTheTimersOfItsForm) {
  auto instance = Make();
  instance->StartRun();
  instance->StartServer(46000, "S", kAll, 1000);
  const platform::TimerId ids[] = {instance->ClockForm->timClock, instance->ClockForm->timClock2,
                                   instance->ClockForm->timClock3, instance->ClockForm->timClock4};
  instance.reset();
  for (auto id : ids) EXPECT_FALSE(context_.loop.TimerExists(id));
  RunUntil(600000);
  EXPECT_TRUE(listener_->events().empty());
}

TEST_F(Lifetime, RunningJobKeepsTheInstanceAliveUntilItReturns) {
  std::shared_ptr<Instance> instance;
  std::weak_ptr<Instance> weak;
  bool alive_during_run = false;
  std::string name_after_release;
  JobSet jobs = ProtocolJobs();
  jobs.daily_summary = [&](Instance& self) {
    self.oTimer.SetEnabled(false);
    // The host lets go while the job is suspended in a yield.
    context_.loop.Post([&] {
      instance->ReleaseFromHost();
      instance.reset();
    });
    self.Yield();
    alive_during_run = !weak.expired();
    name_after_release = self.StoreName;  // still valid: the tick holds the instance
    std::string pairs = "late";
    self.RaiseServerStart(pairs);  // no listener any more
    self.oTimer.SetEnabled(true);  // released: skipped by the failure rule
  };
  instance = Make(std::move(jobs));
  weak = instance;
  instance->StartServer(46000, "Store", "m｜u｜p｜d", 1000);
  RunUntil(1000);
  EXPECT_TRUE(alive_during_run);
  EXPECT_EQ(name_after_release, "Store");
  EXPECT_TRUE(weak.expired()) << "destroyed when the run returned";
  EXPECT_EQ(listener_->Count(EventKind::kServerStart), 0U);
  RunUntil(600000);
  EXPECT_TRUE(listener_->events().empty());
}

TEST_F(Lifetime, ListenerMayReleaseTheInstanceFromInsideAnEvent) {
  std::shared_ptr<Instance> instance = Make();
  std::weak_ptr<Instance> weak = instance;
  std::vector<std::string> after_release;
  struct Later : ClsRiloSeverEvents {
    explicit Later(std::vector<std::string>& l) : log(l) {}
    void WorkProcess(std::int32_t&) override { log.push_back("later"); }
    std::vector<std::string>& log;
  };
  listener_->on_work_process = [&](std::int32_t&) {
    if (listener_->Count(EventKind::kWorkProcess) == 2) {
      instance->ReleaseFromHost();
      instance.reset();
    }
  };
  instance->Connect(std::make_shared<Later>(after_release));
  instance->StartRun();
  RunUntil(1000);
  EXPECT_EQ(listener_->Count(EventKind::kWorkProcess), 2U);
  EXPECT_EQ(after_release.size(), 1U) << "disconnected before its turn in the second event";
  EXPECT_TRUE(weak.expired());
}

TEST_F(Lifetime, InstancesOnOneThreadAreIndependentInLifetime) {
  auto first = Make();
  auto second = Make();
  first->StartRun();
  second->StartRun();
  RunUntil(50);
  first.reset();
  RunUntil(100);
  EXPECT_EQ(listener_->Count(EventKind::kWorkProcess), 15U);  // 5 + 5 before, 5 after
  EXPECT_EQ(second->ProgressAngle, 100);
}

}  // namespace
}  // namespace rilo::component
