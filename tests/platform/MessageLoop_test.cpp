#include "platform/MessageLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace rilo::platform {
namespace {

using std::chrono::milliseconds;

// A loop on the test's thread and a virtual clock; times are in ms since the start.
class LoopTest : public ::testing::Test {
 protected:
  long long Now() const {
    return std::chrono::duration_cast<milliseconds>(clock_->Now() - origin_).count();
  }
  void RunUntil(long long ms) { loop_.RunUntil(origin_ + milliseconds(ms)); }
  TimerId Timer(std::int64_t period_ms, std::function<void()> on_tick) {
    TimerId id = loop_.CreateTimer(std::move(on_tick));
    loop_.SetTimerPeriod(id, period_ms);
    loop_.SetTimerEnabled(id, true);
    return id;
  }

  std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
  Clock::TimePoint origin_ = clock_->Now();
  MessageLoop loop_{clock_};
};

TEST_F(LoopTest, PostedCallsRunInOrder) {
  std::vector<int> order;
  loop_.Post([&] { order.push_back(1); });
  loop_.Post([&] { order.push_back(2); });
  RunUntil(0);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(LoopTest, TimerTicksEveryPeriod) {
  std::vector<long long> ticks;
  Timer(100, [&] { ticks.push_back(Now()); });
  RunUntil(350);
  EXPECT_EQ(ticks, (std::vector<long long>{100, 200, 300}));
  EXPECT_EQ(Now(), 350);
}

TEST_F(LoopTest, PeriodZeroAndDisabledTimersNeverTick) {
  int ticks = 0;
  Timer(0, [&] { ++ticks; });
  TimerId disabled = loop_.CreateTimer([&] { ++ticks; });
  loop_.SetTimerPeriod(disabled, 10);
  RunUntil(60000);
  EXPECT_EQ(ticks, 0);
  EXPECT_FALSE(loop_.TimerEnabled(disabled));
  EXPECT_EQ(loop_.TimerPeriod(disabled), 10);
}

TEST_F(LoopTest, EnablingAgainRestartsTheCountdown) {
  std::vector<long long> ticks;
  TimerId id = Timer(100, [&] { ticks.push_back(Now()); });
  RunUntil(50);
  loop_.SetTimerEnabled(id, true);
  RunUntil(300);
  EXPECT_EQ(ticks, (std::vector<long long>{150, 250}));
}

TEST_F(LoopTest, SettingThePeriodRestartsTheCountdown) {
  std::vector<long long> ticks;
  TimerId id = Timer(100, [&] { ticks.push_back(Now()); });
  RunUntil(80);
  EXPECT_TRUE(loop_.SetTimerPeriod(id, 100));
  RunUntil(200);
  EXPECT_EQ(ticks, (std::vector<long long>{180}));
}

TEST_F(LoopTest, RefusedPeriodKeepsThePreviousOne) {
  std::vector<long long> ticks;
  TimerId id = Timer(100, [&] { ticks.push_back(Now()); });
  EXPECT_FALSE(loop_.SetTimerPeriod(id, -1));
  EXPECT_FALSE(loop_.SetTimerPeriod(id, MessageLoop::kMaxTimerPeriodMs + 1));
  EXPECT_EQ(loop_.TimerPeriod(id), 100);
  EXPECT_TRUE(loop_.SetTimerPeriod(id, MessageLoop::kMaxTimerPeriodMs));
  EXPECT_TRUE(loop_.SetTimerPeriod(id, 100));
  RunUntil(100);
  EXPECT_EQ(ticks, (std::vector<long long>{100}));
}

TEST_F(LoopTest, DueTicksRunEarliestDeadlineFirst) {
  std::vector<std::string> order;
  Timer(30, [&] { order.push_back("a" + std::to_string(Now())); });
  Timer(20, [&] { order.push_back("b" + std::to_string(Now())); });
  Timer(30, [&] { order.push_back("c" + std::to_string(Now())); });
  RunUntil(45);
  EXPECT_EQ(order, (std::vector<std::string>{"b20", "a30", "c30", "b40"}));
}

TEST_F(LoopTest, SleepServesNothing) {
  int calls = 0;
  int ticks = 0;
  Timer(10, [&] { ++ticks; });
  loop_.Post([&] {
    loop_.Post([&] { ++calls; });
    loop_.Sleep(milliseconds(2500));
    EXPECT_EQ(Now(), 2500);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ticks, 0);
  });
  RunUntil(0);
  EXPECT_EQ(ticks, 0);
  RunUntil(2500);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ticks, 1) << "periods that passed while asleep are not made up";
}

TEST_F(LoopTest, ProcessPendingMessagesRunsNestedTicksAndCalls) {
  std::vector<std::string> order;
  Timer(10, [&] { order.push_back("tick" + std::to_string(Now())); });
  loop_.Post([&] {
    loop_.Post([&] { order.push_back("call"); });
    loop_.Sleep(milliseconds(25));
    order.push_back("yield");
    loop_.ProcessPendingMessages();
    order.push_back("resumed");
  });
  RunUntil(0);
  EXPECT_EQ(order, (std::vector<std::string>{"yield", "call", "tick25", "resumed"}));
}

TEST_F(LoopTest, ProcessPendingMessagesServesOnlyWhatWaitsAtThatMoment) {
  int second = 0;
  loop_.Post([&] { loop_.Post([&] { ++second; }); });
  loop_.Post([&] {
    loop_.ProcessPendingMessages();
    EXPECT_EQ(second, 1) << "posted before this pass began";
  });
  int late = 0;
  loop_.Post([&] {
    loop_.ProcessPendingMessages();
    loop_.Post([&] { ++late; });
    // Posted after the pass: only the next pass runs it.
    EXPECT_EQ(late, 0);
  });
  RunUntil(0);
  EXPECT_EQ(late, 1);
}

TEST_F(LoopTest, TickOfARunningHandlerIsHeldBackUntilItReturns) {
  int depth = 0;
  int max_depth = 0;
  std::vector<long long> starts;
  Timer(100, [&] {
    ++depth;
    max_depth = std::max(max_depth, depth);
    starts.push_back(Now());
    if (starts.size() == 1) {
      // A long run that yields after its own period has passed several times.
      for (int i = 0; i < 5; ++i) {
        loop_.Sleep(milliseconds(100));
        loop_.ProcessPendingMessages();
      }
    }
    --depth;
  });
  RunUntil(650);
  EXPECT_EQ(max_depth, 1);
  // Held back during the run (100..600), delivered as soon as it ended, then every period.
  EXPECT_EQ(starts, (std::vector<long long>{100, 600}));
}

TEST_F(LoopTest, HeldBackTickOfAnotherTimerStillRunsNested) {
  std::vector<std::string> order;
  TimerId b = Timer(0, [&] { order.push_back("b" + std::to_string(Now())); });
  loop_.SetTimerEnabled(b, false);
  Timer(100, [&] {
    order.push_back("a" + std::to_string(Now()));
    loop_.SetTimerPeriod(b, 10);
    loop_.SetTimerEnabled(b, true);
    loop_.Sleep(milliseconds(15));
    loop_.ProcessPendingMessages();
    loop_.SetTimerEnabled(b, false);
    order.push_back("a-end");
  });
  RunUntil(150);
  EXPECT_EQ(order, (std::vector<std::string>{"a100", "b115", "a-end"}));
}

TEST_F(LoopTest, TimerDestroyedInsideItsOwnTickFinishesThatRun) {
  int ticks = 0;
  bool finished = false;
  TimerId id = 0;
  id = Timer(10, [&] {
    ++ticks;
    loop_.DestroyTimer(id);
    finished = true;
  });
  RunUntil(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(loop_.TimerExists(id));
}

TEST_F(LoopTest, StaleTimerIdTouchesNothing) {
  int old_ticks = 0;
  int new_ticks = 0;
  TimerId old_id = Timer(10, [&] { ++old_ticks; });
  loop_.DestroyTimer(old_id);
  TimerId new_id = loop_.CreateTimer([&] { ++new_ticks; });
  EXPECT_NE(old_id, new_id);
  EXPECT_FALSE(loop_.SetTimerPeriod(old_id, 10));
  loop_.SetTimerEnabled(old_id, true);
  EXPECT_FALSE(loop_.TimerEnabled(new_id));
  RunUntil(100);
  EXPECT_EQ(old_ticks, 0);
  EXPECT_EQ(new_ticks, 0);
}

TEST_F(LoopTest, ReplacedOrEmptyHandlerTakesEffectAtTheNextTick) {
  std::vector<std::string> order;
  TimerId id = Timer(10, [&] { order.push_back("first"); });
  RunUntil(10);
  loop_.SetTimerHandler(id, [&] { order.push_back("second"); });
  RunUntil(20);
  loop_.SetTimerHandler(id, nullptr);
  RunUntil(50);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
}

TEST_F(LoopTest, ThrowingMessageDoesNotStopTheLoop) {
  std::vector<std::string> errors;
  loop_.SetErrorHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      errors.emplace_back(ex.what());
    }
  });
  int ticks = 0;
  Timer(10, [&] {
    ++ticks;
    throw std::runtime_error("tick");
  });
  loop_.Post([] { throw std::runtime_error("call"); });
  bool after = false;
  loop_.Post([&] { after = true; });
  RunUntil(20);
  EXPECT_TRUE(after);
  EXPECT_EQ(ticks, 2) << "a tick that threw is not held back for ever";
  EXPECT_EQ(errors, (std::vector<std::string>{"call", "tick", "tick"}));
}

TEST_F(LoopTest, RunUntilDoneStopsAfterTheMessageThatMadeItTrue) {
  int ticks = 0;
  Timer(10, [&] { ++ticks; });
  EXPECT_TRUE(loop_.RunUntil([&] { return ticks == 3; }, origin_ + milliseconds(1000)));
  EXPECT_EQ(Now(), 30);
  EXPECT_FALSE(loop_.RunUntil([&] { return ticks == 1; }, origin_ + milliseconds(100)));
  EXPECT_EQ(Now(), 100);
}

TEST_F(LoopTest, IdleLoopWithoutTimersJumpsStraightToTheDeadline) {
  RunUntil(3'600'000);
  EXPECT_EQ(Now(), 3'600'000);
}

TEST_F(LoopTest, CallPostedFromAnotherThreadWakesAnIdleLoop) {
  std::thread::id ran_on;
  std::thread poster([&] {
    loop_.Post([&] {
      ran_on = std::this_thread::get_id();
      loop_.Quit();
    });
  });
  loop_.Run();  // no timer: waits for the call for real
  poster.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST_F(LoopTest, QuitFromAnotherThreadEndsRun) {
  Timer(0, [] {});
  std::thread quitter([&] { loop_.Quit(); });
  loop_.Run();
  quitter.join();
  // Run can serve again afterwards.
  bool ran = false;
  loop_.Post([&] {
    ran = true;
    loop_.Quit();
  });
  loop_.Run();
  EXPECT_TRUE(ran);
}

TEST(MessageLoop, BelongsToTheThreadThatBindsIt) {
  MessageLoop loop(std::make_shared<VirtualClock>());
  EXPECT_TRUE(loop.IsInLoopThread());
  bool other_is_loop_thread = false;
  std::thread other([&] {
    loop.BindToCurrentThread();
    other_is_loop_thread = loop.IsInLoopThread();
  });
  other.join();
  EXPECT_TRUE(other_is_loop_thread);
  EXPECT_FALSE(loop.IsInLoopThread());
}

TEST(MessageLoopDeathTest, LoopOnlyCallFromAnotherThreadAborts) {
  MessageLoop loop(std::make_shared<VirtualClock>());
  EXPECT_DEATH(
      {
        std::thread other([&] { loop.CreateTimer([] {}); });
        other.join();
      },
      "outside the loop's thread");
}

}  // namespace
}  // namespace rilo::platform
