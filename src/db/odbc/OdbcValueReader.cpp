#include "db/odbc/OdbcValueReader.h"

#include <sqlext.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "db/odbc/OdbcDiagnostics.h"
#include "db/odbc/OdbcText.h"

namespace rilo::db::odbc {
namespace {

void CheckRead(SQLRETURN rc, SQLHSTMT statement) {
  Check(rc, SQL_HANDLE_STMT, statement, "reading a column");
}

// False when the value is NULL.
template <typename T>
bool ReadFixed(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT c_type, T& out) {
  SQLLEN indicator = 0;
  CheckRead(SQLGetData(statement, column, c_type, &out, sizeof out, &indicator), statement);
  return indicator != SQL_NULL_DATA;
}

// Reads a variable-length value in pieces until the driver has given all of it. `Unit` is the
// element the buffer holds; a character read leaves room for the terminating zero the driver
// writes after each piece.
template <typename Unit>
std::optional<std::vector<Unit>> ReadPieces(SQLHSTMT statement, SQLUSMALLINT column,
                                            SQLSMALLINT c_type) {
  constexpr bool kCharacters = !std::is_same_v<Unit, unsigned char>;
  constexpr std::size_t kPieceUnits = 2048;
  std::array<Unit, kPieceUnits> piece{};
  std::vector<Unit> value;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement, column, c_type, piece.data(), sizeof piece, &indicator);
    if (rc == SQL_NO_DATA) break;
    CheckRead(rc, statement);
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const std::size_t room = kCharacters ? kPieceUnits - 1 : kPieceUnits;
    const bool whole_fits =
        indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) / sizeof(Unit) <= room;
    const std::size_t got = whole_fits ? static_cast<std::size_t>(indicator) / sizeof(Unit) : room;
    value.insert(value.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
    if (rc == SQL_SUCCESS || whole_fits) break;
  }
  return value;
}

std::optional<std::string> ReadTextOrNull(SQLHSTMT statement, SQLUSMALLINT column) {
  const auto units = ReadPieces<SQLWCHAR>(statement, column, SQL_C_WCHAR);
  if (!units) return std::nullopt;
  return FromWide(units->data(), units->size());
}

Value ReadText(SQLHSTMT statement, SQLUSMALLINT column) {
  std::optional<std::string> text = ReadTextOrNull(statement, column);
  if (!text) return Null{};
  return std::move(*text);
}

Value ReadDecimal(SQLHSTMT statement, SQLUSMALLINT column) {
  const std::optional<std::string> text = ReadTextOrNull(statement, column);
  if (!text) return Null{};
  // Some drivers write 0.5 as ".5"; the exact text keeps its leading zero.
  const std::size_t sign = text->starts_with('-') || text->starts_with('+') ? 1 : 0;
  if (text->size() > sign && (*text)[sign] == '.') {
    return Decimal{text->substr(0, sign) + "0" + text->substr(sign)};
  }
  return Decimal{*text};
}

Value ReadBinary(SQLHSTMT statement, SQLUSMALLINT column) {
  const auto bytes = ReadPieces<unsigned char>(statement, column, SQL_C_BINARY);
  if (!bytes) return Null{};
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (unsigned char byte : *bytes) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

Value ReadTimestamp(SQLHSTMT statement, SQLUSMALLINT column) {
  SQL_TIMESTAMP_STRUCT t{};
  if (!ReadFixed(statement, column, SQL_C_TYPE_TIMESTAMP, t)) return Null{};
  return CalendarDateTime{
      t.year, t.month, t.day, t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1'000'000)};
}

// A time of day alone is the automation date's day zero at that time.
Value ReadTime(SQLHSTMT statement, SQLUSMALLINT column) {
  SQL_TIME_STRUCT t{};
  if (!ReadFixed(statement, column, SQL_C_TYPE_TIME, t)) return Null{};
  CalendarDateTime value;
  value.hour = t.hour;
  value.minute = t.minute;
  value.second = t.second;
  return value;
}

}  // namespace

Value ReadValue(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
      SQLBIGINT n = 0;
      if (!ReadFixed(statement, column, SQL_C_SBIGINT, n)) return Null{};
      return static_cast<std::int64_t>(n);
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
      double d = 0;
      if (!ReadFixed(statement, column, SQL_C_DOUBLE, d)) return Null{};
      return d;
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ReadDecimal(statement, column);
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TIMESTAMP:
    case SQL_DATE:
      return ReadTimestamp(statement, column);
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return ReadTime(statement, column);
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ReadBinary(statement, column);
    default:
      return ReadText(statement, column);
  }
}

}  // namespace rilo::db::odbc
