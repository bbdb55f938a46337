#include "jobs/ReminderText.h"

#include <stdexcept>

#include "jobs/DateAndStoreFilter.h"
#include "rilo/automation.h"

namespace rilo::jobs {

std::string ReminderQuery(std::string_view business_date, std::string_view store) {
  return "Select Top 1 服务预约.预约提醒,服务预约.顾客姓名,服务预约.顾客电话,员工信息.员工编号,"
         "服务预约.预约项目,服务预约.预约日期 From 服务预约 LEFT JOIN 员工信息 ON 服务预约.预约员工 "
         "= 员工信息.员工编号 " +
         DateAndStoreFilter("服务预约.预约日期", ">=", business_date, "服务预约.所属分店", store) +
         " and 服务预约.预约状态 ='预约' and 服务预约.预约提醒 = 0 ORDER BY 服务预约.预约日期 ASC";
}

std::string ReminderLine(std::string_view label, const db::Value& value) {
  std::string line(label);
  line += db::ValueToText(value);  // Null writes nothing
  return line;
}

namespace {

CalendarDateTime ReadDateTime(const db::Value& value) {
  if (const auto* t = std::get_if<CalendarDateTime>(&value)) return *t;
  if (const auto* text = std::get_if<std::string>(&value)) {
    std::string_view shown(*text);
    // Fractions of a second ("14:30:00.000") play no part in a time shown to the minute.
    if (shown.size() > 19 && shown[19] == '.') shown = shown.substr(0, 19);
    if (const auto date = ParseAutomationDate(shown)) return ToCalendarDateTime(*date);
  }
  throw std::invalid_argument("the appointment's time is not a date: " + db::ValueToText(value));
}

}  // namespace

std::string ReminderTimeLine(std::string_view label, const db::Value& value) {
  std::string line(label);
  if (!db::IsNull(value)) line += FormatDateMinutes(ReadDateTime(value));
  return line;
}

}  // namespace rilo::jobs
