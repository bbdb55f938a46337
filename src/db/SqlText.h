// Writing values into SQL text safely.
#pragma once

#include <string>
#include <string_view>

namespace rilo::db {

/// The content of a '...' literal: every apostrophe doubled.
std::string EscapeLiteral(std::string_view value);

/// The content of a "..." quoted identifier: every double quote doubled.
std::string EscapeQuotedIdentifier(std::string_view name);

/// True for a plain identifier: a letter (any script) or underscore, then letters, digits,
/// underscores; no blanks, quotes, brackets, dots or separators.
bool IsPlainIdentifier(std::string_view name);

}  // namespace rilo::db
