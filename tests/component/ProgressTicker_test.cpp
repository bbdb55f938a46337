#include "component/ProgressTicker.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "InstanceFixture.h"

namespace rilo::component {
namespace {

using ProgressTicker = InstanceFixture;

std::vector<std::int32_t> Cycle() {
  std::vector<std::int32_t> values;
  for (int v = 0; v <= 360; v += 10) values.push_back(v);
  return values;
}

TEST_F(ProgressTicker, CountsZeroToThreeSixtyEveryTenMilliseconds) {
  auto instance = Make();
  instance->StartRun();
  RunUntil(750);  // 75 ticks: two full cycles of 37 and the first of the third
  auto expected = Cycle();
  auto second = Cycle();
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(0);
  EXPECT_EQ(Numbers(EventKind::kWorkProcess), expected);
  auto times = Times(EventKind::kWorkProcess);
  for (std::size_t i = 0; i < times.size(); ++i) {
    EXPECT_EQ(times[i], 10 * static_cast<long long>(i + 1));
  }
}

TEST_F(ProgressTicker, ValueWrittenByAListenerIsWhereTheCounterGoesOn) {
  auto instance = Make();
  // The 3rd event reports 20; the listener replaces it with a value of its own.
  const std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>> cases = {
      {355, {0, 10, 20, 0, 10}},
      {351, {0, 10, 20, 361, 0, 10}},
      {-50, {0, 10, 20, -40, -30, -20}},
      {1000, {0, 10, 20, 0, 10}},
  };
  for (const auto& [written, expected] : cases) {
    listener_->Clear();
    instance->ProgressAngle = 0;
    int seen = 0;
    listener_->on_work_process = [&, w = written](std::int32_t& index) {
      if (++seen == 3) index = w;
    };
    instance->StartRun();
    const std::size_t wanted = expected.size();
    context_.loop.RunUntil([&] { return listener_->events().size() == wanted; },
                           clock_->Now() + std::chrono::hours(1));
    EXPECT_EQ(Numbers(EventKind::kWorkProcess), expected) << "listener wrote " << written;
  }
}

TEST_F(ProgressTicker, WrapsAroundAtTheThirtyTwoBitLimit) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(NextProgressAngle(kMax), kMin + 9);
  EXPECT_EQ(NextProgressAngle(kMax - 9), kMin);
  EXPECT_EQ(NextProgressAngle(kMax - 10), 0) << "still positive and above 361";

  auto instance = Make();
  listener_->on_work_process = [&](std::int32_t& index) {
    if (listener_->events().size() == 1) index = kMax;
  };
  instance->StartRun();
  RunUntil(30);
  EXPECT_EQ(Numbers(EventKind::kWorkProcess), (std::vector<std::int32_t>{0, kMin + 9, kMin + 19}));
  EXPECT_EQ(instance->ProgressAngle, kMin + 29);
}

TEST_F(ProgressTicker, SecondStartRunGoesOnWithoutAJump) {
  auto instance = Make();
  instance->StartRun();
  RunUntil(55);
  instance->StartRun();
  RunUntil(100);
  EXPECT_EQ(Numbers(EventKind::kWorkProcess),
            (std::vector<std::int32_t>{0, 10, 20, 30, 40, 50, 60, 70, 80}));
  // Arming again restarts the countdown: 10 ms after the second call, then every 10 ms.
  EXPECT_EQ(Times(EventKind::kWorkProcess),
            (std::vector<long long>{10, 20, 30, 40, 50, 65, 75, 85, 95}));
}

TEST_F(ProgressTicker, PeriodCountsFromTheEndOfTheRun) {
  auto instance = Make();
  listener_->on_work_process = [&](std::int32_t&) {
    if (listener_->events().size() == 2) clock_->Advance(std::chrono::seconds(3));
  };
  instance->StartRun();
  RunUntil(3040);
  // The second run takes 3 s of virtual time; the next tick comes 10 ms after it ended.
  EXPECT_EQ(Times(EventKind::kWorkProcess), (std::vector<long long>{10, 20, 3030, 3040}));
  EXPECT_EQ(Numbers(EventKind::kWorkProcess), (std::vector<std::int32_t>{0, 10, 20, 30}));
}

TEST_F(ProgressTicker, OnlyTheTickerChangesTheCounter) {
  auto instance = Make();
  EXPECT_EQ(instance->ProgressAngle, 0);
  instance->StartServer(0, "Store", "a｜b｜c｜d", 0);
  instance->StartUpdate("a｜b｜c｜d｜e｜f｜g｜h", kVariantFalse, "Store");
  EXPECT_EQ(instance->ProgressAngle, 0);
  instance->StartRun();
  RunUntil(20);
  EXPECT_EQ(instance->ProgressAngle, 20);
}

}  // namespace
}  // namespace rilo::component
