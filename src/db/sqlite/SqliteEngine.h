// The embedded engine: SQLite files that run this server's T-SQL.
// Data Source "sqlite:DIR"; database D is the file DIR/D.db, never created on open.
#pragma once

#include <memory>

#include "db/Engine.h"

namespace rilo::db {

class ConnectionString;

std::unique_ptr<Session> OpenSqliteSession(const ConnectionString& connection_string);

}  // namespace rilo::db
