// Recognising the statements the embedded engine carries out itself rather than hand to
// SQLite: SET IDENTITY_INSERT and EXEC of a procedure.
#pragma once

#include <optional>

#include "db/sql/TokenWalk.h"
#include "db/sqlite/TranslatedStatement.h"

namespace rilo::db::sqlite {

/// SET IDENTITY_INSERT name ON|OFF (any case); nothing for another statement.
std::optional<IdentityInsert> ReadIdentityInsert(const sql::Tokens& tokens, sql::TokenRange range);

/// EXEC|EXECUTE procedure [argument [, argument ...]], each argument a literal, a number,
/// null, DEFAULT or a bare word, optionally named (@name = value). Nothing when the statement
/// does not start with EXEC; throws DbError (Msg 102) when it does but cannot be read.
std::optional<ProcedureCall> ReadExecStatement(const sql::Tokens& tokens, sql::TokenRange range);

}  // namespace rilo::db::sqlite
