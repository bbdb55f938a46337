// String literals as SQL Server reads them: '...' is varchar in the database's code page, so
// on a database whose collation cannot hold Chinese every Chinese character becomes '?'.
// N'...' is Unicode whatever the collation.
#pragma once

#include <string>
#include <string_view>

namespace rilo::db::odbc {

/// `sql` with every '...' literal written N'...'. Identifiers, comments, N'' literals and all
/// other text stay byte for byte. A text the tokenizer cannot read (an unclosed literal) is
/// returned unchanged, for the server to refuse with its own message.
std::string WithUnicodeLiterals(std::string_view sql);

}  // namespace rilo::db::odbc
