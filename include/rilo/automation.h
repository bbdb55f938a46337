// Automation types on the host boundary: the 16-bit boolean and the automation date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rilo {

/// The 16-bit automation boolean. True is -1, False is 0; where the server asks whether a
/// flag is True, only -1 counts.
using VariantBool = std::int16_t;
inline constexpr VariantBool kVariantTrue = -1;
inline constexpr VariantBool kVariantFalse = 0;

/// The automation date: days since 1899-12-30 00:00, the time of day as the fraction.
/// Before that day the whole part counts backwards and the fraction still counts forwards
/// into the day (-1.25 is 1899-12-29 06:00).
using AutomationDate = double;

/// A calendar date-time in the proleptic Gregorian calendar.
struct CalendarDateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const CalendarDateTime&, const CalendarDateTime&) = default;
};

/// Converts a calendar date-time to the automation date.
AutomationDate ToAutomationDate(const CalendarDateTime& t);

/// Converts an automation date to a calendar date-time, rounded to the millisecond.
CalendarDateTime ToCalendarDateTime(AutomationDate d);

/// Parses "yyyy-MM-dd", "yyyy-MM-dd HH:mm" or "yyyy-MM-dd HH:mm:ss". Returns nothing when the
/// text has another shape or names no real date or time.
std::optional<AutomationDate> ParseAutomationDate(std::string_view text);

/// The date part as "yyyy-MM-dd".
std::string FormatDate(AutomationDate d);

/// The date and time as "yyyy-MM-dd HH:mm".
std::string FormatDateMinutes(const CalendarDateTime& t);

}  // namespace rilo
