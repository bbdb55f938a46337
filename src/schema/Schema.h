// DDL of the 22 store tables, for the embedded engine and for SQL Server.
#pragma once

#include <string>
#include <vector>

namespace rilo::schema {

enum class Engine { kSqlite, kSqlServer };

/// The statements that create the 22 tables and the indexes the server's queries need.
std::vector<std::string> StoreTablesDdl(Engine engine);

/// The same as one script, for printing ("GO"-separated for SQL Server).
std::string StoreTablesScript(Engine engine);

}  // namespace rilo::schema
