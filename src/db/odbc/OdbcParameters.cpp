#include "db/odbc/OdbcParameters.h"

#include <algorithm>
#include <string>

#include "db/DbError.h"
#include "db/odbc/OdbcDiagnostics.h"

namespace rilo::db::odbc {
namespace {

// SQL Server's nvarchar(n) ends at 4000 characters; longer text goes as nvarchar(max).
constexpr std::size_t kLongestShortText = 4000;
constexpr int kMostDecimalDigits = 38;

struct DecimalShape {
  SQLULEN precision;
  SQLSMALLINT scale;
};

// Precision and scale of an exact decimal text ("-12.50" is 4,2); refuses anything else.
DecimalShape ShapeOf(const std::string& text) {
  std::size_t at = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
  int whole_digits = 0;
  int fraction_digits = 0;
  bool leading_zero = true;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    leading_zero = leading_zero && text[at] == '0';
    if (!leading_zero) ++whole_digits;
  }
  const bool any_whole = at > 0 && text[at - 1] >= '0' && text[at - 1] <= '9';
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) ++fraction_digits;
  }
  if (at != text.size() || (!any_whole && fraction_digits == 0)) {
    throw DbError(DbError::Kind::kUsage, "'" + text + "' is not a decimal number");
  }
  const int precision = std::max(whole_digits + fraction_digits, 1);
  if (precision > kMostDecimalDigits) {
    throw DbError(DbError::Kind::kUsage,
                  "'" + text + "' has more digits than a decimal parameter can carry");
  }
  return {static_cast<SQLULEN>(precision), static_cast<SQLSMALLINT>(fraction_digits)};
}

}  // namespace

OdbcParameters::OdbcParameters(SQLHSTMT statement, std::span<const Value> values)
    : statement_(statement), buffers_(values.size()) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    Bind(statement, static_cast<SQLUSMALLINT>(i + 1), values[i], buffers_[i]);
  }
}

OdbcParameters::~OdbcParameters() { SQLFreeStmt(statement_, SQL_RESET_PARAMS); }

void OdbcParameters::Bind(SQLHSTMT statement, SQLUSMALLINT number, const Value& value,
                          Buffer& buffer) {
  SQLSMALLINT c_type = SQL_C_WCHAR;
  SQLSMALLINT sql_type = SQL_WVARCHAR;
  SQLULEN column_size = 1;
  SQLSMALLINT decimal_digits = 0;
  SQLPOINTER data = &buffer.nothing;
  SQLLEN data_bytes = 0;

  const auto bind_text = [&](const std::string& utf8) {
    WideText& text = buffer.text.emplace(utf8);
    data = text.data();
    data_bytes = static_cast<SQLLEN>(text.size() * sizeof(SQLWCHAR));
    buffer.indicator = data_bytes;
    column_size = std::max<SQLULEN>(text.size(), 1);
  };

  if (std::holds_alternative<Null>(value)) {
    buffer.indicator = SQL_NULL_DATA;
  } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    buffer.integer = *integer;
    c_type = SQL_C_SBIGINT;
    sql_type = SQL_BIGINT;
    column_size = 19;
    data = &buffer.integer;
  } else if (const auto* real = std::get_if<double>(&value)) {
    buffer.real = *real;
    c_type = SQL_C_DOUBLE;
    sql_type = SQL_DOUBLE;
    column_size = 15;
    data = &buffer.real;
  } else if (const auto* decimal = std::get_if<Decimal>(&value)) {
    const DecimalShape shape = ShapeOf(decimal->text);
    bind_text(decimal->text);
    sql_type = SQL_DECIMAL;
    column_size = shape.precision;
    decimal_digits = shape.scale;
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    bind_text(*text);
    if (column_size > kLongestShortText) sql_type = SQL_WLONGVARCHAR;
  } else {
    const auto& t = std::get<CalendarDateTime>(value);
    buffer.timestamp = {static_cast<SQLSMALLINT>(t.year),
                        static_cast<SQLUSMALLINT>(t.month),
                        static_cast<SQLUSMALLINT>(t.day),
                        static_cast<SQLUSMALLINT>(t.hour),
                        static_cast<SQLUSMALLINT>(t.minute),
                        static_cast<SQLUSMALLINT>(t.second),
                        static_cast<SQLUINTEGER>(t.millisecond) * 1'000'000u};
    c_type = SQL_C_TYPE_TIMESTAMP;
    sql_type = SQL_TYPE_TIMESTAMP;
    column_size = 23;  // yyyy-mm-dd hh:mm:ss.fff
    decimal_digits = 3;
    data = &buffer.timestamp;
  }

  Check(SQLBindParameter(statement, number, SQL_PARAM_INPUT, c_type, sql_type, column_size,
                         decimal_digits, data, data_bytes, &buffer.indicator),
        SQL_HANDLE_STMT, statement, "binding parameter " + std::to_string(number));
}

}  // namespace rilo::db::odbc
