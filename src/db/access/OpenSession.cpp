#include "db/access/OpenSession.h"

#include "db/BlockingCall.h"
#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/access/OffThreadSession.h"
#include "db/odbc/OdbcEngine.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/SqliteEngine.h"

namespace rilo::db {
namespace {

std::unique_ptr<Session> OpenEngineSession(const ConnectionString& connection_string,
                                           const OdbcChoice& odbc) {
  const std::string data_source =
      connection_string.Get("Data Source").value_or(connection_string.Get("Server").value_or(""));
  if (IsEmbeddedDataSource(data_source)) return OpenSqliteSession(connection_string);
  return OpenOdbcSession(connection_string, odbc);
}

}  // namespace

// The one door from the access layer into an engine: opening, and every call of the session
// it gives, block, so all of them go through RunBlocking.
std::unique_ptr<Session> OpenSession(const ConnectionString& connection_string,
                                     const OdbcChoice& odbc) {
  return std::make_unique<OffThreadSession>(
      RunBlocking([&] { return OpenEngineSession(connection_string, odbc); }));
}

}  // namespace rilo::db
