#include "db/sqlite/ValueConversion.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "db/sqlite/SqliteHandles.h"

namespace rilo::db::sqlite {
namespace {

std::string Upper(const char* text) {
  std::string out(text ? text : "");
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` digits at `pos`.
std::optional<int> Digits(std::string_view text, std::size_t pos, std::size_t digits) {
  if (pos + digits > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = pos; i < pos + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::string TextOf(sqlite3_stmt* stmt, int column) {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
  const int size = sqlite3_column_bytes(stmt, column);
  return data ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::optional<double> NumberOf(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

DeclaredKind ClassifyDeclaredType(const char* declared_type) {
  const std::string type = Upper(declared_type);
  if (type.find("DATE") != std::string::npos) return DeclaredKind::kDateTime;
  if (type.find("DEC") != std::string::npos || type.find("NUMERIC") != std::string::npos ||
      type.find("MONEY") != std::string::npos) {
    return DeclaredKind::kDecimal;
  }
  return DeclaredKind::kPlain;
}

Value ColumnValue(sqlite3_stmt* stmt, int column, DeclaredKind kind) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return Null{};
    case SQLITE_INTEGER: {
      const std::int64_t value = sqlite3_column_int64(stmt, column);
      if (kind == DeclaredKind::kDecimal) return Decimal{std::to_string(value)};
      return value;
    }
    case SQLITE_FLOAT: {
      const double value = sqlite3_column_double(stmt, column);
      if (kind == DeclaredKind::kDecimal && std::isfinite(value)) {
        return Decimal{ShortestDecimalText(value)};
      }
      return value;
    }
    default: {
      std::string text = TextOf(stmt, column);
      if (kind == DeclaredKind::kDateTime) {
        if (auto t = ParseStoredDateTime(text)) return *t;
      }
      return text;  // text that is no date-time stays text rather than failing the read
    }
  }
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
  struct Binder {
    sqlite3_stmt* stmt;
    int index;
    int operator()(Null) const { return sqlite3_bind_null(stmt, index); }
    int operator()(std::int64_t v) const { return sqlite3_bind_int64(stmt, index, v); }
    int operator()(double v) const { return sqlite3_bind_double(stmt, index, v); }
    int operator()(const Decimal& v) const {
      std::int64_t whole = 0;
      const char* end = v.text.data() + v.text.size();
      if (auto [p, e] = std::from_chars(v.text.data(), end, whole); e == std::errc{} && p == end) {
        return sqlite3_bind_int64(stmt, index, whole);
      }
      if (auto number = NumberOf(v.text)) return sqlite3_bind_double(stmt, index, *number);
      return Text(v.text);
    }
    int operator()(const std::string& v) const { return Text(v); }
    int operator()(const CalendarDateTime& v) const { return Text(StoredDateTimeText(v)); }
    int Text(const std::string& v) const {
      return sqlite3_bind_text64(stmt, index, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
  };
  if (std::visit(Binder{stmt, index}, value) != SQLITE_OK) {
    ThrowSqliteError(sqlite3_db_handle(stmt));
  }
}

std::optional<CalendarDateTime> ParseStoredDateTime(std::string_view text) {
  CalendarDateTime t;
  const auto year = Digits(text, 0, 4);
  const auto month = Digits(text, 5, 2);
  const auto day = Digits(text, 8, 2);
  if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) {
    return std::nullopt;
  }
  t.year = *year;
  t.month = *month;
  t.day = *day;
  if (text.size() == 10) return t;

  if (text[10] != ' ' && text[10] != 'T') return std::nullopt;
  const auto hour = Digits(text, 11, 2);
  const auto minute = Digits(text, 14, 2);
  if (!hour || !minute || text[13] != ':' || *hour > 23 || *minute > 59) return std::nullopt;
  t.hour = *hour;
  t.minute = *minute;
  if (text.size() == 16) return t;

  const auto second = Digits(text, 17, 2);
  if (!second || text[16] != ':' || *second > 59) return std::nullopt;
  t.second = *second;
  if (text.size() == 19) return t;

  if (text[19] != '.' || text.size() == 20) return std::nullopt;
  int millis = 0;
  int scale = 100;
  for (std::size_t i = 20; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    millis += (text[i] - '0') * scale;  // digits beyond the millisecond are dropped
    scale /= 10;
  }
  t.millisecond = millis;
  return t;
}

std::string StoredDateTimeText(const CalendarDateTime& t) {
  std::string text = fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", t.year, t.month, t.day,
                                 t.hour, t.minute, t.second);
  if (t.millisecond != 0) text += fmt::format(".{:03}", t.millisecond);
  return text;
}

std::string ShortestDecimalText(double value) {
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (error != std::errc{}) return fmt::format("{}", value);
  std::string text(buffer, end);
  if (text == "-0") text = "0";
  return text;
}

}  // namespace rilo::db::sqlite
