#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "rilo/automation.h"

namespace rilo {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's method).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

constexpr Civil CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);
// The range automation dates cover: 0100-01-01 to 9999-12-31 23:59:59.999.
constexpr double kFirstDate = static_cast<double>(DaysFromCivil(100, 1, 1) - kEpoch) - 0.99999999;
constexpr double kLastDate = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpoch) + 0.99999999;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Reads exactly `width` decimal digits at `pos`.
bool ReadNumber(std::string_view text, std::size_t pos, std::size_t width, int& out) {
  if (pos + width > text.size()) return false;
  int value = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  out = value;
  return true;
}

}  // namespace

AutomationDate ToAutomationDate(const CalendarDateTime& t) {
  const std::int64_t days =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kEpoch;
  const std::int64_t ms = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
  const double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  // Before the epoch the day counts backwards but the time of day still counts forwards.
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

CalendarDateTime ToCalendarDateTime(AutomationDate d) {
  // Outside the automation range a date has no meaning; keep the arithmetic defined.
  if (std::isnan(d)) d = 0;
  d = std::clamp(d, kFirstDate, kLastDate);
  const double whole = std::trunc(d);
  auto days = static_cast<std::int64_t>(whole);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(d - whole) * kMsPerDay));
  if (ms >= kMsPerDay) {  // rounded up to the next midnight
    ms -= kMsPerDay;
    days += 1;
  }
  const Civil c = CivilFromDays(days + kEpoch);
  CalendarDateTime t;
  t.year = static_cast<int>(c.year);
  t.month = static_cast<int>(c.month);
  t.day = static_cast<int>(c.day);
  t.hour = static_cast<int>(ms / 3'600'000);
  t.minute = static_cast<int>(ms / 60'000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

std::optional<AutomationDate> ParseAutomationDate(std::string_view text) {
  // "yyyy-MM-dd", then optionally " HH:mm", then optionally ":ss".
  if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
  CalendarDateTime t;
  if (!ReadNumber(text, 0, 4, t.year) || text[4] != '-' || !ReadNumber(text, 5, 2, t.month) ||
      text[7] != '-' || !ReadNumber(text, 8, 2, t.day)) {
    return std::nullopt;
  }
  if (text.size() >= 16 && (text[10] != ' ' || !ReadNumber(text, 11, 2, t.hour) ||
                            text[13] != ':' || !ReadNumber(text, 14, 2, t.minute))) {
    return std::nullopt;
  }
  if (text.size() == 19 && (text[16] != ':' || !ReadNumber(text, 17, 2, t.second))) {
    return std::nullopt;
  }
  if (t.year < 100 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59) {
    return std::nullopt;
  }
  return ToAutomationDate(t);
}

std::string FormatDate(AutomationDate d) {
  const CalendarDateTime t = ToCalendarDateTime(d);
  return fmt::format("{:04}-{:02}-{:02}", t.year, t.month, t.day);
}

std::string FormatDateMinutes(const CalendarDateTime& t) {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}", t.year, t.month, t.day, t.hour, t.minute);
}

}  // namespace rilo
