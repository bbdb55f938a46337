#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "InstanceFixture.h"

namespace rilo::component {
namespace {

using Events = InstanceFixture;

const std::string kMain = "m｜u｜p｜d";
const std::string kAll = "m｜u｜p｜d｜l｜lu｜lp｜ld";

// Appends its name to a shared log on every WorkProcess, then runs an optional action.
struct NamedListener : ClsRiloSeverEvents {
  NamedListener(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(l) {}
  void WorkProcess(std::int32_t&) override {
    log.push_back(name);
    if (action) action();
  }
  std::string name;
  std::vector<std::string>& log;
  std::function<void()> action;
};

TEST_F(Events, GoToEveryListenerInConnectionOrder) {
  auto instance = Make();
  std::vector<std::string> log;
  auto a = std::make_shared<NamedListener>("a", log);
  auto b = std::make_shared<NamedListener>("b", log);
  auto c = std::make_shared<NamedListener>("c", log);
  instance->Connect(b);
  const auto cookie_a = instance->Connect(a);
  instance->Connect(c);
  instance->StartRun();
  RunUntil(10);
  instance->Disconnect(cookie_a);
  instance->Disconnect(cookie_a);  // twice: ignored
  instance->Disconnect(987654);    // unknown: ignored
  RunUntil(20);
  EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "c", "b", "c"}));
  EXPECT_EQ(listener_->Count(EventKind::kWorkProcess), 2U);
  EXPECT_EQ(instance->Connect(nullptr), 0U) << "an empty listener is not connected";
}

TEST_F(Events, ThrowingListenerIsSkippedAndTheJobGoesOn) {
  auto instance = Make();
  std::vector<std::string> log;
  auto thrower = std::make_shared<NamedListener>("thrower", log);
  thrower->action = [] { throw std::runtime_error("host handler failed"); };
  auto after = std::make_shared<NamedListener>("after", log);
  instance->Connect(thrower);
  instance->Connect(after);
  instance->StartRun();
  RunUntil(30);
  EXPECT_EQ(log,
            (std::vector<std::string>{"thrower", "after", "thrower", "after", "thrower", "after"}));
  EXPECT_EQ(Numbers(EventKind::kWorkProcess), (std::vector<std::int32_t>{0, 10, 20}));
  ASSERT_FALSE(sink_->lines.empty());
  EXPECT_EQ(sink_->lines[0].level, LogLevel::kWarning);
  EXPECT_EQ(sink_->lines[0].where, "WorkProcess");
  EXPECT_EQ(sink_->lines[0].message, "listener failed: host handler failed");
}

TEST_F(Events, ListenerMayConnectAndDisconnectFromInsideAnEvent) {
  auto instance = Make();
  std::vector<std::string> log;
  auto first = std::make_shared<NamedListener>("first", log);
  auto second = std::make_shared<NamedListener>("second", log);
  auto late = std::make_shared<NamedListener>("late", log);
  ClsRiloSever::Cookie first_cookie = 0;
  ClsRiloSever::Cookie second_cookie = 0;
  int calls = 0;
  first->action = [&] {
    if (++calls == 1) {
      instance->Disconnect(second_cookie);  // not called for this event any more
      instance->Connect(late);              // called from the next event on
    } else {
      instance->Disconnect(first_cookie);  // itself
    }
  };
  first_cookie = instance->Connect(first);
  second_cookie = instance->Connect(second);
  instance->StartRun();
  RunUntil(30);
  EXPECT_EQ(log, (std::vector<std::string>{"first", "first", "late", "late"}));
}

TEST_F(Events, WritesIntoTextAndFlagArgumentsChangeNothing) {
  auto instance = Make();
  listener_->on_server_start = [](std::string& str) { str = "overwritten"; };
  listener_->on_tips_start = [](std::string& str) { str.clear(); };
  listener_->on_tips_update = [](VariantBool& Pd) { Pd = kVariantFalse; };
  std::vector<std::string> seen_by_second;
  struct Second : ClsRiloSeverEvents {
    explicit Second(std::vector<std::string>& s) : seen(s) {}
    void ServerStart(std::string& str) override { seen.push_back(str); }
    std::vector<std::string>& seen;
  };
  instance->Connect(std::make_shared<Second>(seen_by_second));
  instance->StartServer(46000, "Store", kMain, 30000);
  instance->StartUpdate(kAll, kVariantTrue, "Store");
  RunUntil(60000);
  instance->StartUpdate(kAll, kVariantTrue, "Store");
  RunUntil(62000);
  // Every run raises a fresh variable of its own: the next run reports what it computed.
  EXPECT_EQ(Texts(EventKind::kServerStart),
            (std::vector<std::string>{"takings of Store", "takings of Store"}));
  EXPECT_EQ(Texts(EventKind::kTipsStart), (std::vector<std::string>{"reminder for Store"}));
  EXPECT_EQ(Numbers(EventKind::kTipsUpdate),
            (std::vector<std::int32_t>{kVariantTrue, kVariantTrue}));
  EXPECT_EQ(instance->StoreName, "Store");
  EXPECT_EQ(instance->RefreshEnabled, kVariantTrue);
  // Listeners after the writer see the same variable of that run, as by-reference arguments go.
  EXPECT_EQ(seen_by_second, (std::vector<std::string>{"overwritten", "overwritten"}));
}

TEST_F(Events, MethodCalledFromInsideAListenerTakesEffectAtOnce) {
  auto instance = Make();
  bool returned = false;
  listener_->on_tips_start = [&](std::string&) {
    if (listener_->Count(EventKind::kTipsStart) != 1) return;
    const auto before = listener_->events().size();
    instance->StartServer(46001, "Renamed", kMain, 1000);
    instance->StartRun();
    returned = true;
    EXPECT_EQ(listener_->events().size(), before) << "the nested call raised nothing";
    EXPECT_EQ(instance->StoreName, "Renamed");
  };
  instance->StartServer(46000, "Store", kMain, 0);
  RunUntil(61000);
  EXPECT_TRUE(returned);
  EXPECT_EQ(Texts(EventKind::kServerStart), (std::vector<std::string>{"takings of Renamed"}));
  EXPECT_EQ(Times(EventKind::kServerStart), (std::vector<long long>{61000}));
  EXPECT_EQ(Times(EventKind::kWorkProcess).front(), 60010);
}

TEST_F(Events, WithNoListenerRaisingDoesNothing) {
  auto instance = Instance::Create(context_, ProtocolJobs());
  instance->StartRun();
  RunUntil(100);
  EXPECT_EQ(instance->ProgressAngle, 100);
  EXPECT_TRUE(sink_->lines.empty());
}

}  // namespace
}  // namespace rilo::component
