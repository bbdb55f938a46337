// Values between SQLite and the access layer. Date-times are stored as text
// 'YYYY-MM-DD HH:MM:SS' (fractions and the bare date allowed) and come back as date-times from
// columns declared so; exact numerics come back as decimals from columns declared so.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "db/Value.h"

namespace rilo::db::sqlite {

/// What a column's declared type asks of its values.
enum class DeclaredKind { kPlain, kDateTime, kDecimal };

/// DATE, DATETIME, SMALLDATETIME, DATETIME2... give kDateTime; DECIMAL, NUMERIC, MONEY give
/// kDecimal; anything else (also no declared type) kPlain.
DeclaredKind ClassifyDeclaredType(const char* declared_type);

/// The value of `column` of the current row of `stmt`.
Value ColumnValue(sqlite3_stmt* stmt, int column, DeclaredKind kind);

/// Binds `value` to the 1-based parameter `index`. Date-times go in as stored text, decimals
/// as the number they write.
void BindValue(sqlite3_stmt* stmt, int index, const Value& value);

/// 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM', 'YYYY-MM-DD HH:MM:SS[.fff]' ('T' also separates); nothing
/// for other text or an impossible date.
std::optional<CalendarDateTime> ParseStoredDateTime(std::string_view text);

/// 'YYYY-MM-DD HH:MM:SS', with '.mmm' when there are milliseconds.
std::string StoredDateTimeText(const CalendarDateTime& t);

/// The shortest plain decimal text that reads back as `value` ("1280.5", "0.1", "300").
std::string ShortestDecimalText(double value);

}  // namespace rilo::db::sqlite
