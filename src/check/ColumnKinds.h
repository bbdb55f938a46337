// What kind of value a column's declared type holds, the same for SQL Server's type names
// and the embedded engine's declared types, so a column of the wrong kind shows on either.
#pragma once

#include <string_view>

#include "schema/TableCatalogue.h"

namespace rilo::check {

enum class ColumnKind { kNumber, kText, kDateTime, kTime, kOther };

ColumnKind KindOfDeclaredType(std::string_view declared);

/// True when a column of `kind` serves where the shipped schema has `expected`.
bool Serves(ColumnKind kind, schema::ColumnType expected);

std::string_view KindName(schema::ColumnType expected);

/// True for char, varchar and text: held in the database's code page, not in Unicode.
bool IsCodePageText(std::string_view declared);

}  // namespace rilo::check
