// The system procedures the embedded engine provides: sp_addlinkedserver,
// sp_addlinkedsrvlogin and sp_dropserver, over the folder's linked-server registry.
#pragma once

#include "db/sqlite/LinkedServerRegistry.h"
#include "db/sqlite/TranslatedStatement.h"

namespace rilo::db::sqlite {

/// Runs `call`, with its arguments matched to the procedure's parameters by position or by
/// name as SQL Server matches them. Throws DbError as SQL Server fails: Msg 2812 for another
/// procedure, 201 for a missing required argument, 8144/8145 for extra or unknown ones, and
/// the registry's own failures.
void RunSystemProcedure(LinkedServerRegistry& registry, const ProcedureCall& call);

}  // namespace rilo::db::sqlite
