// Shared set-up of the component tests: a server context on the test's thread with a virtual
// clock, a recording listener and sink, and stand-in jobs that follow the timer protocol.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "component/Instance.h"
#include "component/ServerContext.h"
#include "support/VirtualServer.h"

namespace rilo::component {

using testing::EventKind;

class InstanceFixture : public ::testing::Test {
 protected:
  /// Jobs that disable their timer, raise their event with a variable of their own run, and
  /// (but for the refresh) enable the timer again.
  static JobSet ProtocolJobs() {
    JobSet jobs;
    jobs.daily_summary = [](Instance& self) {
      self.oTimer.SetEnabled(false);
      std::string pairs = "takings of " + self.StoreName;
      self.RaiseServerStart(pairs);
      self.oTimer.SetEnabled(true);
    };
    jobs.refresh = [](Instance& self) {
      self.oTimer2.SetEnabled(false);
      VariantBool result = self.RefreshEnabled;
      self.RaiseTipsUpdate(result);
    };
    jobs.reminder = [](Instance& self) {
      self.oTimer4.SetEnabled(false);
      std::string text = "reminder for " + self.StoreName;
      self.RaiseTipsStart(text);
      self.oTimer4.SetEnabled(true);
    };
    return jobs;
  }

  std::shared_ptr<Instance> Make(JobSet jobs = ProtocolJobs()) {
    auto instance = Instance::Create(context_, std::move(jobs));
    instance->Connect(listener_);
    return instance;
  }

  /// Serves until `ms` of virtual time since the start.
  void RunUntil(long long ms) { context_.loop.RunUntil(origin_ + std::chrono::milliseconds(ms)); }

  long long Now() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_->Now() - origin_).count();
  }

  std::vector<long long> Times(EventKind kind) const {
    std::vector<long long> out;
    for (const auto& e : listener_->Of(kind)) out.push_back(e.at.count());
    return out;
  }

  std::vector<std::int32_t> Numbers(EventKind kind) const {
    std::vector<std::int32_t> out;
    for (const auto& e : listener_->Of(kind)) out.push_back(e.number);
    return out;
  }

  std::vector<std::string> Texts(EventKind kind) const {
    std::vector<std::string> out;
    for (const auto& e : listener_->Of(kind)) out.push_back(e.text);
    return out;
  }

  std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
  Clock::TimePoint origin_ = clock_->Now();
  std::shared_ptr<testing::RecordingSink> sink_ = std::make_shared<testing::RecordingSink>();
  ServerContext context_{clock_, sink_};
  std::shared_ptr<testing::RecordingListener> listener_ =
      std::make_shared<testing::RecordingListener>(clock_, origin_);
};

}  // namespace rilo::component
