// The SQL text and the reminder text of the appointment reminder job.
#pragma once

#include <string>
#include <string_view>

#include "db/Value.h"

namespace rilo::jobs {

/// Joins the lines of the reminder text: U+2016 DOUBLE VERTICAL LINE.
inline constexpr std::string_view kReminderLineSeparator = "‖";

// The labels of the five lines; each ends with U+FF1A FULLWIDTH COLON.
inline constexpr std::string_view kCustomerLabel = "预约顾客：";
inline constexpr std::string_view kPhoneLabel = "顾客电话：";
inline constexpr std::string_view kStaffLabel = "预约员工：";
inline constexpr std::string_view kServiceLabel = "预约项目：";
inline constexpr std::string_view kTimeLabel = "预约时间：";

/// The earliest booked, unreminded appointment of `store` on or after `business_date`
/// ("yyyy-MM-dd"). Columns: 0 the reminded flag, 1 customer, 2 telephone, 3 staff number,
/// 4 service, 5 date and time.
std::string ReminderQuery(std::string_view business_date, std::string_view store);

/// `label` followed by the value as text; Null gives the bare label.
std::string ReminderLine(std::string_view label, const db::Value& value);

/// `label` followed by the appointment's date and time as "yyyy-MM-dd HH:mm". A text value is
/// read as a date ("yyyy-MM-dd[ HH:mm[:ss[.fff]]]"); Null gives the bare label. Throws
/// std::invalid_argument for a value that is no date.
std::string ReminderTimeLine(std::string_view label, const db::Value& value);

}  // namespace rilo::jobs
