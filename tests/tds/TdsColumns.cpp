#include "tds/TdsColumns.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>

#include "db/odbc/Utf16.h"
#include "tds/TdsTokens.h"

namespace rilo::tds {
namespace {

constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint8_t kBitN = 0x68;
constexpr std::uint8_t kFloatN = 0x6D;
constexpr std::uint8_t kDecimalN = 0x6A;
constexpr std::uint8_t kMoneyN = 0x6E;
constexpr std::uint8_t kMoneyScale = 4;
constexpr std::uint8_t kDateTimeN = 0x6F;
constexpr std::uint8_t kDateTime2N = 0x2A;
constexpr std::uint8_t kDateTime2Scale = 3;
constexpr std::uint8_t kNVarChar = 0xE7;
constexpr std::uint16_t kLongLength = 0xFFFF;
constexpr std::uint8_t kDecimalBytes = 17;  // sign and 16 bytes: precision 38
constexpr std::uint8_t kDecimalPrecision = 38;
constexpr std::size_t kLongestShortText = 4000;            // UTF-16 units of NVARCHAR(4000)
constexpr std::uint16_t kNullableFlags = 0x0001 | 0x0008;  // nullable, updatable unknown

struct DecimalParts {
  bool negative = false;
  std::string digits;  // all digits, the point removed
  std::uint8_t scale = 0;
};

DecimalParts SplitDecimal(std::string_view text) {
  DecimalParts parts;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    parts.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  parts.digits = std::string(whole) + std::string(fraction);
  parts.scale = static_cast<std::uint8_t>(fraction.size());
  if (parts.digits.empty() ||
      !std::ranges::all_of(parts.digits, [](char c) { return c >= '0' && c <= '9'; })) {
    throw std::invalid_argument("not a decimal: " + std::string(text));
  }
  return parts;
}

// Days since 1900-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysSince1900(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const std::int64_t days_since_1970 = std::int64_t{era} * 146097 + day_of_era - 719468;
  return days_since_1970 + 25567;
}

ColumnType TypeOf(const db::Value& value) {
  if (std::holds_alternative<std::int64_t>(value)) return ColumnType::kInt;
  if (std::holds_alternative<double>(value)) return ColumnType::kFloat;
  if (std::holds_alternative<db::Decimal>(value)) return ColumnType::kDecimal;
  if (std::holds_alternative<CalendarDateTime>(value)) return ColumnType::kDateTime;
  return ColumnType::kNVarChar;
}

// The type that holds both: numbers widen int -> decimal -> float; anything else is text.
ColumnType Widen(ColumnType a, ColumnType b) {
  if (a == b) return a;
  const auto numeric = [](ColumnType t) {
    return t == ColumnType::kInt || t == ColumnType::kDecimal || t == ColumnType::kFloat;
  };
  if (!numeric(a) || !numeric(b)) return ColumnType::kNVarChar;
  if (a == ColumnType::kFloat || b == ColumnType::kFloat) return ColumnType::kFloat;
  return ColumnType::kDecimal;
}

void WriteTypeInfo(TdsWriter& out, const TdsColumn& column) {
  switch (column.type) {
    case ColumnType::kInt:
      out.U8(kIntN);
      out.U8(8);
      return;
    case ColumnType::kBit:
      out.U8(kBitN);
      out.U8(1);
      return;
    case ColumnType::kFloat:
      out.U8(kFloatN);
      out.U8(8);
      return;
    case ColumnType::kDecimal:
      out.U8(kDecimalN);
      out.U8(kDecimalBytes);
      out.U8(kDecimalPrecision);
      out.U8(column.scale);
      return;
    case ColumnType::kMoney:
      out.U8(kMoneyN);
      out.U8(8);
      return;
    case ColumnType::kDateTime:
      out.U8(kDateTimeN);
      out.U8(8);
      return;
    case ColumnType::kDateTime2:
      out.U8(kDateTime2N);
      out.U8(kDateTime2Scale);
      return;
    case ColumnType::kNVarChar:
      out.U8(kNVarChar);
      out.U16(column.long_text ? kLongLength : static_cast<std::uint16_t>(kLongestShortText * 2));
      out.Bytes(kServerCollation);
      return;
  }
}

std::string AsText(const db::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return db::ValueToText(value);
}

// Sixteen little-endian bytes of the unsigned whole number `digits`.
std::array<std::uint8_t, 16> Magnitude(std::string_view digits) {
  std::array<std::uint8_t, 16> bytes{};
  for (char digit : digits) {
    unsigned carry = static_cast<unsigned>(digit - '0');
    for (std::uint8_t& byte : bytes) {
      const unsigned next = byte * 10u + carry;
      byte = static_cast<std::uint8_t>(next);
      carry = next >> 8;
    }
    if (carry != 0) throw std::invalid_argument("decimal too large");
  }
  return bytes;
}

void WriteDecimalValue(TdsWriter& out, const TdsColumn& column, const db::Value& value) {
  const std::string text = std::holds_alternative<db::Decimal>(value)
                               ? std::get<db::Decimal>(value).text
                               : db::ValueToText(value);
  DecimalParts parts = SplitDecimal(text);
  if (parts.scale > column.scale) throw std::invalid_argument("decimal with too many places");
  parts.digits.append(column.scale - parts.scale, '0');
  const std::array<std::uint8_t, 16> magnitude = Magnitude(parts.digits);
  if (column.type == ColumnType::kMoney) {
    std::uint64_t units = 0;
    for (std::size_t i = 0; i < 8; ++i) units |= std::uint64_t{magnitude[i]} << (8 * i);
    if (std::any_of(magnitude.begin() + 8, magnitude.end(), [](auto b) { return b != 0; }) ||
        units > static_cast<std::uint64_t>(INT64_MAX)) {
      throw std::invalid_argument("money out of range");
    }
    const std::int64_t signed_units =
        parts.negative ? -static_cast<std::int64_t>(units) : static_cast<std::int64_t>(units);
    const auto bits = static_cast<std::uint64_t>(signed_units);
    out.U8(8);
    out.U32(static_cast<std::uint32_t>(bits >> 32));
    out.U32(static_cast<std::uint32_t>(bits));
    return;
  }
  out.U8(kDecimalBytes);
  out.U8(parts.negative ? 0 : 1);
  out.Bytes(magnitude);
}

void WriteDateTimeValue(TdsWriter& out, const CalendarDateTime& t) {
  std::int64_t days = DaysSince1900(t.year, t.month, t.day);
  const std::int64_t milliseconds =
      ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
  // datetime keeps time in 1/300 s, rounded; a round-up past midnight is the next day.
  std::int64_t ticks = (milliseconds * 3 + 5) / 10;
  if (ticks >= 300LL * 86400) {
    ticks -= 300LL * 86400;
    ++days;
  }
  out.U8(8);
  out.U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(days)));
  out.U32(static_cast<std::uint32_t>(ticks));
}

// Milliseconds since midnight in four bytes (scale 3), then days since 0001-01-01 in three.
void WriteDateTime2Value(TdsWriter& out, const CalendarDateTime& t) {
  const std::int64_t days = DaysSince1900(t.year, t.month, t.day) + 693595;
  const auto milliseconds = static_cast<std::uint32_t>(
      ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond);
  out.U8(7);
  out.U32(milliseconds);
  for (int i = 0; i < 3; ++i) out.U8(static_cast<std::uint8_t>(days >> (8 * i)));
}

// True when datetime's 1/300 s would change the millisecond.
bool NeedsDateTime2(const CalendarDateTime& t) {
  const int ticks = (t.millisecond * 3 + 5) / 10;
  return (ticks * 10 + 1) / 3 != t.millisecond;
}

void WriteTextValue(TdsWriter& out, const TdsColumn& column, const db::Value& value) {
  const std::u16string text = db::odbc::Utf8ToUtf16(AsText(value));
  if (!column.long_text) {
    out.U16(static_cast<std::uint16_t>(text.size() * 2));
    for (char16_t unit : text) out.U16(unit);
    return;
  }
  // NVARCHAR(MAX) goes as a partially length-prefixed value: total, one chunk, terminator.
  out.U64(text.size() * 2);
  if (!text.empty()) {
    out.U32(static_cast<std::uint32_t>(text.size() * 2));
    for (char16_t unit : text) out.U16(unit);
  }
  out.U32(0);
}

void WriteNull(TdsWriter& out, const TdsColumn& column) {
  if (column.type != ColumnType::kNVarChar) {
    out.U8(0);
  } else if (column.long_text) {
    out.U64(~std::uint64_t{0});
  } else {
    out.U16(0xFFFF);
  }
}

}  // namespace

std::vector<TdsColumn> ColumnsFor(const db::ResultSet& result,
                                  std::span<const std::string> money_columns) {
  std::vector<TdsColumn> columns;
  for (std::size_t c = 0; c < result.columns.size(); ++c) {
    TdsColumn column;
    column.name = result.columns[c].name;
    std::optional<ColumnType> type;
    bool fine_time = false;
    std::size_t longest = 0;
    for (const auto& row : result.rows) {
      const db::Value& value = row.at(c);
      if (db::IsNull(value)) continue;
      const ColumnType here = TypeOf(value);
      type = type ? Widen(*type, here) : here;
      if (const auto* decimal = std::get_if<db::Decimal>(&value)) {
        const std::uint8_t scale = SplitDecimal(decimal->text).scale;
        column.scale = std::max(column.scale, scale);
      }
      if (const auto* time = std::get_if<CalendarDateTime>(&value)) {
        fine_time = fine_time || NeedsDateTime2(*time);
      }
      if (const auto* text = std::get_if<std::string>(&value)) {
        longest = std::max(longest, db::odbc::Utf8ToUtf16(*text).size());
      }
    }
    column.type = type.value_or(ColumnType::kNVarChar);
    const bool numeric =
        !type || column.type == ColumnType::kInt || column.type == ColumnType::kDecimal;
    if (numeric && column.scale <= kMoneyScale &&
        std::ranges::find(money_columns, column.name) != money_columns.end()) {
      column.type = ColumnType::kMoney;
      column.scale = kMoneyScale;
    }
    if (column.type == ColumnType::kDateTime && fine_time) column.type = ColumnType::kDateTime2;
    if (column.type == ColumnType::kNVarChar) {
      for (const auto& row : result.rows) {
        if (!db::IsNull(row.at(c))) {
          longest = std::max(longest, db::odbc::Utf8ToUtf16(AsText(row.at(c))).size());
        }
      }
      column.long_text = longest > kLongestShortText;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

void WriteColumnMetadata(TdsWriter& out, const std::vector<TdsColumn>& columns) {
  out.U8(static_cast<std::uint8_t>(Token::kColumnMetadata));
  out.U16(static_cast<std::uint16_t>(columns.size()));
  for (const TdsColumn& column : columns) {
    out.U32(0);  // user type
    out.U16(kNullableFlags);
    WriteTypeInfo(out, column);
    out.BVarchar(column.name);
  }
}

void WriteRow(TdsWriter& out, const std::vector<TdsColumn>& columns,
              const std::vector<db::Value>& row) {
  out.U8(static_cast<std::uint8_t>(Token::kRow));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const TdsColumn& column = columns[c];
    const db::Value& value = row.at(c);
    if (db::IsNull(value)) {
      WriteNull(out, column);
      continue;
    }
    switch (column.type) {
      case ColumnType::kInt:
        out.U8(8);
        out.U64(static_cast<std::uint64_t>(std::get<std::int64_t>(value)));
        break;
      case ColumnType::kBit:
        out.U8(1);
        out.U8(std::get<std::int64_t>(value) != 0 ? 1 : 0);
        break;
      case ColumnType::kFloat: {
        double d = 0;
        if (const auto* n = std::get_if<std::int64_t>(&value)) d = static_cast<double>(*n);
        if (const auto* x = std::get_if<double>(&value)) d = *x;
        if (const auto* decimal = std::get_if<db::Decimal>(&value)) d = std::stod(decimal->text);
        out.U8(8);
        out.U64(std::bit_cast<std::uint64_t>(d));
        break;
      }
      case ColumnType::kDecimal:
      case ColumnType::kMoney:
        WriteDecimalValue(out, column, value);
        break;
      case ColumnType::kDateTime:
        WriteDateTimeValue(out, std::get<CalendarDateTime>(value));
        break;
      case ColumnType::kDateTime2:
        WriteDateTime2Value(out, std::get<CalendarDateTime>(value));
        break;
      case ColumnType::kNVarChar:
        WriteTextValue(out, column, value);
        break;
    }
  }
}

}  // namespace rilo::tds
