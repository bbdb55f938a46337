#include "platform/CallWhileServing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace rilo::platform {
namespace {

using namespace std::chrono_literals;

// A loop on the test's thread with a virtual clock, and the worker it hands calls to. The
// worker's calls drive the loop through posted calls and wait (for real, bounded) for what
// the loop thread does in answer: nothing here waits for a timer.
class CallWhileServingTest : public ::testing::Test {
 protected:
  long long Now() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_->Now() - origin_).count();
  }
  TimerId Timer(std::int64_t period_ms, std::function<void()> on_tick) {
    TimerId id = loop_.CreateTimer(std::move(on_tick));
    loop_.SetTimerPeriod(id, period_ms);
    loop_.SetTimerEnabled(id, true);
    return id;
  }
  // Worker side: moves the virtual clock on by `d` on the loop thread, then waits until the
  // loop thread has counted `ticks` ticks.
  void AdvanceAndAwait(std::chrono::milliseconds d, int ticks) {
    loop_.Post([this, d] { clock_->Advance(d); });
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, 10s, [&] { return ticks_ >= ticks; }));
  }
  void CountTick() {
    std::lock_guard guard(mutex_);
    ++ticks_;
    changed_.notify_all();
  }

  std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
  Clock::TimePoint origin_ = clock_->Now();
  MessageLoop loop_{clock_};
  WorkerThread worker_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int ticks_ = 0;
};

TEST_F(CallWhileServingTest, LoopServesTicksAndCallsWhileTheWorkerRunsButNotTheWaitingTimer) {
  std::vector<long long> other_ticks;
  std::vector<std::string> order;
  int waiting_timer_runs = 0;
  Timer(10, [&] {
    // This timer stays enabled with a 10 ms period: its next ticks fall due while it waits.
    if (++waiting_timer_runs > 1) return;
    order.push_back("call starts at " + std::to_string(Now()));
    CallWhileServing(loop_, worker_, [&] {
      AdvanceAndAwait(10ms, 1);
      AdvanceAndAwait(10ms, 2);
      loop_.Post([&] { order.push_back("host call at " + std::to_string(Now())); });
      AdvanceAndAwait(10ms, 3);
    });
    order.push_back("call returned at " + std::to_string(Now()));
  });
  Timer(10, [&] {
    if (Now() > 10) {
      other_ticks.push_back(Now());
      CountTick();
    }
  });
  loop_.RunUntil(origin_ + 10ms);

  // Virtual time moved only when the worker moved it; each step let the other timer tick once.
  EXPECT_EQ(other_ticks, (std::vector<long long>{20, 30, 40}));
  EXPECT_EQ(order, (std::vector<std::string>{"call starts at 10", "host call at 30",
                                             "call returned at 40"}));
  EXPECT_EQ(waiting_timer_runs, 1);  // due three times meanwhile, held back each time
  EXPECT_EQ(Now(), 40);
}

TEST_F(CallWhileServingTest, FailureComesBackToTheWaiterAndNestedCallsQueueBehindTheFirst) {
  std::vector<std::string> order;
  std::string caught;
  loop_.Post([&] {
    try {
      CallWhileServing(loop_, worker_, [&] {
        // A call of a nested message queues behind this one on the single worker.
        loop_.Post([&] {
          CallWhileServing(loop_, worker_, [&] { order.push_back("nested call"); });
          order.push_back("nested message goes on");
        });
        order.push_back("first call");
        throw std::runtime_error("statement failed");
      });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    order.push_back("first message goes on");
  });
  loop_.RunUntil(origin_);
  EXPECT_EQ(caught, "statement failed");
  // The nested message began waiting inside the first one's wait, so it finishes first.
  EXPECT_EQ(order, (std::vector<std::string>{"first call", "nested call",
                                             "nested message goes on", "first message goes on"}));
  EXPECT_EQ(Now(), 0);
}

}  // namespace
}  // namespace rilo::platform
