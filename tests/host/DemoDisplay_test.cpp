#include "../../host/DemoDisplay.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace rilo::host {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// What a display wrote, read back through a memory stream.
class Captured {
 public:
  Captured() : file_(open_memstream(&data_, &size_)) {}
  ~Captured() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

TEST(DemoDisplay, PairListSplitsIntoNamesAndValues) {
  const auto pairs = SplitPairList("Facial‖1280.5｜Body care‖0｜商品销售‖156");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].name, "Facial");
  EXPECT_EQ(pairs[0].value, "1280.5");
  EXPECT_EQ(pairs[1].name, "Body care");
  EXPECT_EQ(pairs[2].name, "商品销售");
  EXPECT_EQ(pairs[2].value, "156");
  EXPECT_TRUE(SplitPairList("   ").empty());
  const auto odd = SplitPairList("no value｜x‖");
  ASSERT_EQ(odd.size(), 2u);
  EXPECT_EQ(odd[0].value, "");
  EXPECT_EQ(odd[1].name, "x");
}

TEST(DemoDisplay, WidthCountsChineseAsTwoColumns) {
  EXPECT_EQ(DisplayWidth("Facial"), 6u);
  EXPECT_EQ(DisplayWidth("商品销售"), 8u);
  EXPECT_EQ(DisplayWidth("A座：1"), 6u);  // the fullwidth colon is wide too
  EXPECT_EQ(DisplayWidth("caf\xC3\xA9"), 4u);
  EXPECT_EQ(DisplayWidth("\xE5\x95"), 2u);  // a cut sequence: one column per byte
}

TEST(DemoDisplay, TakingsTableLinesUpMixedScripts) {
  const auto rows =
      FormatTakingsTable({{"面部护理", "1280.5"}, {"Nails", "300"}, {"会员续卡", "0"}});
  EXPECT_THAT(rows, ElementsAre("category  amount", "--------  ------", "面部护理  1280.5",
                                "Nails        300", "会员续卡       0"));
}

TEST(DemoDisplay, ReminderOnOneLine) {
  EXPECT_EQ(FormatReminder("预约顾客：李女士‖顾客电话：13800000000‖预约员工：‖预约项目：面部护理‖"
                           "预约时间：2025-03-09 14:30"),
            "预约顾客：李女士 | 顾客电话：13800000000 | 预约员工： | 预约项目：面部护理 | "
            "预约时间：2025-03-09 14:30");
}

TEST(DemoDisplay, EventsBecomeReadableLinesAndAreCounted) {
  Captured out;
  DemoDisplay display(out.file(), false);
  std::string summary = "Facial‖12｜商品销售‖156";
  std::string reminder = "预约顾客：李女士‖顾客电话：1";
  VariantBool ok = kVariantTrue;
  VariantBool failed = kVariantFalse;
  display.ServerStart(summary);
  display.TipsStart(reminder);
  display.TipsUpdate(ok);
  display.TipsUpdate(failed);
  for (std::int32_t i = 0; i < 3; ++i) display.WorkProcess(i);
  const std::string text = out.text();
  EXPECT_THAT(text, HasSubstr("Takings of the business date (ServerStart):\n"));
  EXPECT_THAT(text, HasSubstr("商品销售     156\n"));
  EXPECT_THAT(text, HasSubstr("Reminder (TipsStart): 预约顾客：李女士 | 顾客电话：1\n"));
  EXPECT_THAT(text, HasSubstr("refresh (TipsUpdate): succeeded\n"));
  EXPECT_THAT(text, HasSubstr("refresh (TipsUpdate): failed"));
  EXPECT_THAT(text, HasSubstr("Progress ticker (WorkProcess) running"));
  EXPECT_THAT(text, Not(HasSubstr("\r")));  // no spinner when not on a terminal
  const auto counts = display.counts();
  EXPECT_EQ(counts.summaries, 1);
  EXPECT_EQ(counts.reminders, 1);
  EXPECT_EQ(counts.refreshes, 2);
  EXPECT_EQ(counts.failed_refreshes, 1);
  EXPECT_EQ(counts.ticks, 3);
}

TEST(DemoDisplay, ARepeatedSummaryIsOneLineAChangedOneATableAgain) {
  Captured out;
  DemoDisplay display(out.file(), false);
  std::string first = "Facial‖12｜商品销售‖156";
  std::string changed = "Facial‖20｜商品销售‖156";
  display.ServerStart(first);
  display.ServerStart(first);
  display.ServerStart(changed);
  const std::string text = out.text();
  EXPECT_THAT(text, HasSubstr("(ServerStart): unchanged\n"));
  EXPECT_THAT(text, HasSubstr("Facial        12\n"));
  EXPECT_THAT(text, HasSubstr("Facial        20\n"));
  EXPECT_EQ(display.counts().summaries, 3);
}

TEST(DemoDisplay, OnATerminalTheSpinnerIsClearedBeforeOtherLines) {
  Captured out;
  DemoDisplay display(out.file(), true);
  std::int32_t index = 10;
  display.WorkProcess(index);
  display.Note("hello");
  display.Finish(std::chrono::seconds(3));
  const std::string text = out.text();
  EXPECT_THAT(text, HasSubstr("progress ticker (WorkProcess) at  10"));
  EXPECT_THAT(text, HasSubstr("\r\033[K[0:00] hello\n"));
  EXPECT_THAT(text, HasSubstr("Demo over after 3 s: 0 summaries, 0 reminders, 0 refreshes "
                              "(0 failed), 1 progress tick."));
}

}  // namespace
}  // namespace rilo::host
