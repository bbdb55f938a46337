// Translating the T-SQL this server sends into what SQLite runs. Pure text work: nothing here
// touches a database. String literals and comments pass unchanged.
#pragma once

#include <string_view>
#include <vector>

#include "db/sqlite/TranslatedStatement.h"

namespace rilo::db::sqlite {

/// Translates `tsql` into the statements to run, in order. Statements separated by ";" that
/// SQLite runs itself stay together in one SqliteText. Translates CONVERT(varchar(n), x, 23)
/// to substr(x,1,10) (120 and 121 to the date-time text), SELECT TOP n ... to ... LIMIT n,
/// [names] to "names", N'...' to '...', and four-part names through `resolve`.
/// Throws DbError with SQL Server's number for text SQL Server rejects the same way.
std::vector<TranslatedStatement> TranslateTsql(std::string_view tsql,
                                               const LinkedNameResolver& resolve);

}  // namespace rilo::db::sqlite
