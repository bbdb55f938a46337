#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/odbc/OdbcEngine.h"
#include "db/sqlite/SqliteEngine.h"

namespace rilo::db {

std::unique_ptr<Session> OpenSession(const ConnectionString& connection_string) {
  const std::string data_source =
      connection_string.Get("Data Source").value_or(connection_string.Get("Server").value_or(""));
  if (IsEmbeddedDataSource(data_source)) return OpenSqliteSession(connection_string);
  return OpenOdbcSession(connection_string);
}

}  // namespace rilo::db
