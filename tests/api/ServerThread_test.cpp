#include "rilo/ServerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "rilo/ClsRiloSever.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;

// Counts WorkProcess events arriving on another thread and lets the test wait for them.
class CountingListener : public ClsRiloSeverEvents {
 public:
  void WorkProcess(std::int32_t& index) override {
    {
      std::lock_guard guard(mutex_);
      if (first_values_.size() < 40) first_values_.push_back(index);
      ++count_;
      thread_ = std::this_thread::get_id();
    }
    changed_.notify_all();
    if (on_event) on_event(index);
  }

  /// Waits (for real, at most 10 s) until `n` events have arrived.
  bool WaitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return count_ >= n; });
  }

  std::size_t count() const {
    std::lock_guard guard(mutex_);
    return count_;
  }
  std::vector<std::int32_t> first_values() const {
    std::lock_guard guard(mutex_);
    return first_values_;
  }
  std::thread::id thread() const {
    std::lock_guard guard(mutex_);
    return thread_;
  }

  /// Set before connecting; runs on the server thread.
  std::function<void(std::int32_t&)> on_event;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t count_ = 0;
  std::vector<std::int32_t> first_values_;
  std::thread::id thread_;
};

// A started server thread on a virtual clock: once a timer is armed, virtual time races ahead
// as fast as the thread can serve it.
std::shared_ptr<ServerThread> StartVirtual() {
  return ServerThread::Start({std::make_shared<VirtualClock>(), nullptr});
}

std::thread::id IdOf(ServerThread& thread) {
  std::thread::id id;
  thread.Invoke([&] { id = std::this_thread::get_id(); });
  return id;
}

TEST(ServerThread, InvokeRunsOnTheServerThreadAndWaits) {
  auto thread = StartVirtual();
  EXPECT_FALSE(thread->IsCurrent());
  const auto server_id = IdOf(*thread);
  EXPECT_NE(server_id, std::this_thread::get_id());
  int value = 0;
  thread->Invoke([&] {
    EXPECT_TRUE(thread->IsCurrent());
    value = 42;
  });
  EXPECT_EQ(value, 42) << "the caller waited for the call";
}

TEST(ServerThread, InvokePassesExceptionsOnAndTheLoopGoesOn) {
  auto thread = StartVirtual();
  EXPECT_THROW(thread->Invoke([] { throw std::runtime_error("refused"); }), std::runtime_error);
  bool ran = false;
  thread->Invoke([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(ServerThread, InvokeOnTheServerThreadRunsAtOnce) {
  auto thread = StartVirtual();
  std::vector<int> order;
  thread->Invoke([&] {
    order.push_back(1);
    thread->Invoke([&] { order.push_back(2); });
    order.push_back(3);
  });
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(ServerThread, OnlyAnAttachedThreadDrivesItsLoop) {
  auto started = StartVirtual();
  EXPECT_THROW(started->RunFor(10ms), std::logic_error);
  EXPECT_THROW(started->RunUntil([] { return true; }, 10ms), std::logic_error);
  auto attached = ServerThread::Attach({std::make_shared<VirtualClock>(), nullptr});
  EXPECT_TRUE(attached->IsCurrent());
  std::thread other([&] { EXPECT_THROW(attached->RunFor(10ms), std::logic_error); });
  other.join();
  EXPECT_TRUE(attached->RunUntil([] { return true; }, 10ms));
}

TEST(ServerThread, DefaultIsOneStartedThreadForTheProcess) {
  auto first = ServerThread::Default();
  auto second = ServerThread::Default();
  EXPECT_EQ(first, second);
  EXPECT_FALSE(first->IsCurrent());
  auto server = ClsRiloSever::Create();
  EXPECT_EQ(&server->thread(), first.get());
}

TEST(ServerThread, HostCallsFromAnotherThreadReachTheServerThread) {
  auto thread = StartVirtual();
  auto server = ClsRiloSever::Create(thread);
  auto listener = std::make_shared<CountingListener>();
  server->Connect(listener);
  server->StartRun();
  ASSERT_TRUE(listener->WaitFor(38));
  EXPECT_EQ(listener->thread(), IdOf(*thread));
  auto values = listener->first_values();
  values.resize(38);
  std::vector<std::int32_t> expected;
  for (int v = 0; v <= 360; v += 10) expected.push_back(v);
  expected.push_back(0);
  EXPECT_EQ(values, expected);
}

TEST(ServerThread, ReleasingFromAnotherThreadStopsEventsBeforeItReturns) {
  auto thread = StartVirtual();
  auto server = ClsRiloSever::Create(thread);
  auto listener = std::make_shared<CountingListener>();
  server->Connect(listener);
  server->StartRun();
  ASSERT_TRUE(listener->WaitFor(100));
  server.reset();
  const auto after_release = listener->count();
  for (int i = 0; i < 100; ++i) thread->Invoke([] {});  // let the loop go round
  EXPECT_EQ(listener->count(), after_release);
}

TEST(ServerThread, ListenerMayCallTheServerBackWithoutDeadlock) {
  auto thread = StartVirtual();
  auto server = ClsRiloSever::Create(thread);
  auto listener = std::make_shared<CountingListener>();
  auto late = std::make_shared<CountingListener>();
  ClsRiloSever* raw = server.get();
  std::atomic<bool> called_back{false};
  listener->on_event = [&](std::int32_t&) {
    if (called_back.exchange(true)) return;
    raw->StartServer(46089, "S", "sqlite:/nonexistent｜｜｜M", 0);
    raw->Connect(late);
  };
  server->Connect(listener);
  server->StartRun();
  ASSERT_TRUE(late->WaitFor(5));
  EXPECT_TRUE(called_back);
  server.reset();
}

TEST(ServerThread, ManyHostThreadsMayCallAtOnce) {
  auto thread = StartVirtual();
  auto server = ClsRiloSever::Create(thread);
  auto counter = std::make_shared<CountingListener>();
  server->Connect(counter);
  server->StartRun();
  std::vector<std::thread> hosts;
  for (int h = 0; h < 4; ++h) {
    hosts.emplace_back([&server, h] {
      for (int i = 0; i < 50; ++i) {
        auto listener = std::make_shared<CountingListener>();
        const auto cookie = server->Connect(listener);
        server->StartRun();
        server->StartUpdate("a｜b｜c｜d｜e｜f｜g｜h", kVariantFalse, "Store " + std::to_string(h));
        server->Disconnect(cookie);
      }
    });
  }
  for (auto& host : hosts) host.join();
  const auto before = counter->count();
  EXPECT_TRUE(counter->WaitFor(before + 10)) << "the ticker still runs";
}

TEST(ServerThread, ReleasedInsideItsOwnMessageEndsAfterThatMessage) {
  auto thread = StartVirtual();
  std::weak_ptr<ServerThread> weak = thread;
  auto server = ClsRiloSever::Create(std::move(thread));
  auto listener = std::make_shared<CountingListener>();
  auto released = std::make_shared<std::promise<void>>();
  std::shared_ptr<ClsRiloSever> held_by_server_thread;
  listener->on_event = [&held_by_server_thread, released](std::int32_t&) {
    if (!held_by_server_thread) return;
    held_by_server_thread.reset();  // last reference to the server and to its thread
    released->set_value();
  };
  server->Connect(listener);
  ServerThread& t = server->thread();
  t.Invoke([&] {
    held_by_server_thread = std::move(server);
    held_by_server_thread->StartRun();
  });
  ASSERT_EQ(released->get_future().wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace rilo
