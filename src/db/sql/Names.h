// Reading names and literals out of tokens, and writing names back as T-SQL.
#pragma once

#include <string>
#include <string_view>

#include "db/sql/Token.h"

namespace rilo::db::sql {

/// The name a bare, "quoted" or [bracketed] token stands for, quotes removed and doubled
/// closing characters undone. Other tokens give their text unchanged.
std::string NameOf(const Token& token);

/// The value of a '...' or N'...' literal, doubled apostrophes undone.
std::string LiteralOf(const Token& token);

/// `name` as a [bracketed] T-SQL name, a closing bracket doubled inside.
std::string BracketName(std::string_view name);

/// `name` as a "quoted" name, a double quote doubled inside.
std::string DoubleQuoteName(std::string_view name);

/// Equal ignoring ASCII case, as SQL Server compares names under its usual collations.
bool SameName(std::string_view a, std::string_view b);

}  // namespace rilo::db::sql
