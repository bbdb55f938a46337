#include "rilo/ClsRiloSever.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/VirtualServer.h"

namespace rilo {
namespace {

using testing::EventKind;
using testing::VirtualServer;

std::vector<std::int32_t> Numbers(const testing::RecordingListener& listener, EventKind kind) {
  std::vector<std::int32_t> out;
  for (const auto& e : listener.Of(kind)) out.push_back(e.number);
  return out;
}

TEST(ClsRiloSever, StartRunDeliversWorkProcessOnTheVirtualClock) {
  VirtualServer vs;
  auto server = vs.Create();
  server->StartRun();
  EXPECT_TRUE(vs.listener->events().empty()) << "a method never raises an event";
  vs.RunFor(std::chrono::milliseconds(40));
  EXPECT_EQ(Numbers(*vs.listener, EventKind::kWorkProcess),
            (std::vector<std::int32_t>{0, 10, 20, 30}));
  EXPECT_EQ(vs.listener->events().back().at, std::chrono::milliseconds(40));
  EXPECT_EQ(&server->thread(), vs.thread.get());
}

TEST(ClsRiloSever, ConnectAndDisconnectThroughTheApi) {
  VirtualServer vs;
  auto server = ClsRiloSever::Create(vs.thread);
  auto second = std::make_shared<testing::RecordingListener>(vs.clock, vs.clock->Now());
  const auto first_cookie = server->Connect(vs.listener);
  const auto second_cookie = server->Connect(second);
  EXPECT_NE(first_cookie, second_cookie);
  server->StartRun();
  vs.RunFor(std::chrono::milliseconds(20));
  server->Disconnect(first_cookie);
  vs.RunFor(std::chrono::milliseconds(20));
  EXPECT_EQ(vs.listener->Count(EventKind::kWorkProcess), 2U);
  EXPECT_EQ(Numbers(*second, EventKind::kWorkProcess), (std::vector<std::int32_t>{0, 10, 20, 30}));
}

TEST(ClsRiloSever, ReleasingTheLastReferenceStopsEveryEvent) {
  VirtualServer vs;
  auto server = vs.Create();
  server->StartRun();
  server->StartUpdate("sqlite:/nonexistent｜｜｜A｜sqlite:/nonexistent｜｜｜B", kVariantFalse, "S");
  vs.RunFor(std::chrono::milliseconds(100));
  const auto before = vs.listener->events().size();
  EXPECT_EQ(before, 10U);
  server.reset();
  vs.RunFor(std::chrono::minutes(10));
  EXPECT_EQ(vs.listener->events().size(), before);
}

TEST(ClsRiloSever, MethodCalledFromInsideAListenerRunsAtOnce) {
  VirtualServer vs;
  auto server = vs.Create();
  auto other = std::make_shared<testing::RecordingListener>(vs.clock, vs.clock->Now());
  bool connected_inside = false;
  vs.listener->on_work_process = [&](std::int32_t&) {
    if (connected_inside) return;
    server->StartRun();  // re-arms: the next tick is 10 ms from here
    connected_inside = server->Connect(other) != 0;
  };
  server->StartRun();
  vs.RunFor(std::chrono::milliseconds(30));
  EXPECT_TRUE(connected_inside);
  EXPECT_EQ(vs.listener->Count(EventKind::kWorkProcess), 3U);
  EXPECT_EQ(Numbers(*other, EventKind::kWorkProcess), (std::vector<std::int32_t>{10, 20}));
}

TEST(ClsRiloSever, ListenerMayDropTheLastReferenceInsideAnEvent) {
  VirtualServer vs;
  auto server = vs.Create();
  vs.listener->on_work_process = [&](std::int32_t&) { server.reset(); };
  server->StartRun();
  vs.RunFor(std::chrono::seconds(1));
  EXPECT_EQ(server, nullptr);
  EXPECT_EQ(vs.listener->Count(EventKind::kWorkProcess), 1U);
}

TEST(ClsRiloSever, StartUpdateReachesTheRefreshJob) {
  VirtualServer vs;
  auto server = vs.Create();
  server->StartRun();
  server->StartUpdate("m｜u｜p｜d｜l｜lu｜lp｜ld", kVariantFalse, "Store");
  vs.RunFor(std::chrono::seconds(10));
  // Without the refresh flag the job pauses 2500 ms after its 2000 ms delay and reports True.
  auto updates = vs.listener->Of(EventKind::kTipsUpdate);
  ASSERT_EQ(updates.size(), 1U);
  EXPECT_EQ(updates[0].at, std::chrono::milliseconds(4500));
  EXPECT_EQ(updates[0].number, kVariantTrue);
  // The pause is a sleep: the ticker stood still through it.
  for (const auto& e : vs.listener->Of(EventKind::kWorkProcess)) {
    EXPECT_FALSE(e.at > std::chrono::milliseconds(2000) && e.at < std::chrono::milliseconds(4500))
        << e.at.count();
  }
}

TEST(ClsRiloSever, TwoInstancesOnOneThreadTickIndependently) {
  VirtualServer vs;
  auto first = vs.Create();
  auto second = vs.Create();
  first->StartRun();
  vs.RunFor(std::chrono::milliseconds(25));
  second->StartRun();
  vs.RunFor(std::chrono::milliseconds(20));
  // first: 10, 20, 30, 40; second: 35, 45.
  EXPECT_EQ(Numbers(*vs.listener, EventKind::kWorkProcess),
            (std::vector<std::int32_t>{0, 10, 20, 0, 30, 10}));
}

}  // namespace
}  // namespace rilo
