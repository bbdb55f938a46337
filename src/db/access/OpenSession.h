// The one door from the access layer into an engine.
#pragma once

#include <memory>

#include "db/Engine.h"
#include "db/odbc/OdbcChoice.h"

namespace rilo::db {

class ConnectionString;

/// Opens a session for a connection string; the Data Source picks the engine, and SQL Server
/// is reached as `odbc` chooses (by default: the system's default driver, no extra keywords).
/// On a server thread, opening and every call of the session run on its database worker.
std::unique_ptr<Session> OpenSession(const ConnectionString& connection_string,
                                     const OdbcChoice& odbc = {});

}  // namespace rilo::db
