// SQL Server over ODBC (unixODBC, FreeTDS's driver unless the server thread's choice or the
// connection string names another).
#pragma once

#include <memory>
#include <string>

#include "db/Engine.h"
#include "db/odbc/OdbcChoice.h"

namespace rilo::db {

class ConnectionString;

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& connection_string,
                                         const OdbcChoice& odbc);

/// The ODBC connection string for an ADO-style one: Data Source -> Server, Database, UID,
/// PWD, the driver (odbc.Driver() unless the string names one; FreeTDS with TDS_Version=7.4
/// and odbc's FreeTDS keywords); ADO's provider and pooling keywords dropped. Throws
/// DbError(kUsage) for a value the driver would misread.
std::string ToOdbcConnectionString(const ConnectionString& connection_string,
                                   const OdbcChoice& odbc);

}  // namespace rilo::db
