// SQL Server's error number for a failure of the embedded engine. Errors the engine already
// translated keep their number; SQLite's own codes become the number SQL Server gives the same
// fault, so the driver derives the same SQLSTATE a store's server would make it derive.
#pragma once

#include "db/DbError.h"
#include "tds/TdsTokens.h"

namespace rilo::tds {

TdsErrorInfo ServerError(const db::DbError& error);

}  // namespace rilo::tds
