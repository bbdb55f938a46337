#include "db/sqlite/SqliteEngine.h"

#include <system_error>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/SqlServerErrors.h"
#include "db/sqlite/SqliteSession.h"

namespace rilo::db {

std::unique_ptr<Session> OpenSqliteSession(const ConnectionString& connection_string) {
  const std::string data_source =
      connection_string.Get("Data Source").value_or(connection_string.Get("Server").value_or(""));
  const std::string database = connection_string.Get("Database")
                                   .value_or(connection_string.Get("Initial Catalog").value_or(""));
  const auto folder = sqlite::EmbeddedFolder(data_source);
  std::error_code error;
  if (!folder || !std::filesystem::is_directory(*folder, error)) {
    // What a client sees for a server it cannot reach.
    throw DbError(DbError::Kind::kEngine,
                  "SQL Server does not exist or access denied. (The embedded data source '" +
                      data_source + "' names no folder.)",
                  "08001", 17);
  }
  // Never created on open: a missing database fails as SQL Server fails for one.
  const auto file = sqlite::FindDatabaseFile(*folder, database);
  if (!file) throw sqlite::CannotOpenDatabase(database);
  return std::make_unique<sqlite::SqliteSession>(*folder, *file, database);
}

}  // namespace rilo::db
