#include "db/odbc/OdbcEngine.h"

#include "db/odbc/OdbcConnectParameters.h"
#include "db/odbc/OdbcSession.h"

namespace rilo::db {

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& connection_string,
                                         const OdbcChoice& odbc) {
  return std::make_unique<odbc::OdbcSession>(odbc::ReadConnectParameters(connection_string, odbc));
}

std::string ToOdbcConnectionString(const ConnectionString& connection_string,
                                   const OdbcChoice& odbc) {
  return odbc::ReadConnectParameters(connection_string, odbc).connection_string;
}

}  // namespace rilo::db
