// Splitting T-SQL text into tokens.
#pragma once

#include <string_view>
#include <vector>

#include "db/sql/Token.h"

namespace rilo::db::sql {

/// The tokens of `sql`, in order, covering it completely. The tokens view `sql`, which must
/// outlive them. Throws DbError(kEngine) with SQL Server's message for an unclosed string
/// literal, quoted name or comment.
std::vector<Token> Tokenize(std::string_view sql);

}  // namespace rilo::db::sql
