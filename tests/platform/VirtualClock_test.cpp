#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "rilo/Clock.h"

namespace rilo {
namespace {

using std::chrono::milliseconds;

TEST(VirtualClock, MovesOnlyWhenTold) {
  VirtualClock clock;
  auto start = clock.Now();
  EXPECT_EQ(clock.Now(), start);
  clock.Advance(milliseconds(5));
  clock.SleepFor(milliseconds(10));
  EXPECT_EQ(clock.Now() - start, milliseconds(15));
  clock.Advance(-milliseconds(100));
  EXPECT_EQ(clock.Now() - start, milliseconds(15)) << "never goes back";
}

TEST(VirtualClock, WaitingForADeadlineJumpsToIt) {
  VirtualClock clock;
  auto start = clock.Now();
  std::mutex mutex;
  std::condition_variable cv;
  std::unique_lock lock(mutex);
  clock.WaitUntil(lock, cv, start + milliseconds(60000));
  EXPECT_EQ(clock.Now() - start, milliseconds(60000));
  clock.WaitUntil(lock, cv, start + milliseconds(10));
  EXPECT_EQ(clock.Now() - start, milliseconds(60000)) << "an earlier deadline changes nothing";
  EXPECT_TRUE(lock.owns_lock());
}

TEST(VirtualClock, WaitingWithoutDeadlineWaitsForANotification) {
  VirtualClock clock;
  auto start = clock.Now();
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;
  std::thread waker([&] {
    std::lock_guard guard(mutex);
    woken = true;
    cv.notify_one();
  });
  std::unique_lock lock(mutex);
  while (!woken) clock.WaitUntil(lock, cv, std::nullopt);
  waker.join();
  EXPECT_EQ(clock.Now(), start);
}

}  // namespace
}  // namespace rilo
