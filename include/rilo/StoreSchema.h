// DDL of the 22 store tables, for the embedded engine and for SQL Server.
#pragma once

#include <string>
#include <vector>

namespace rilo::schema {

enum class Engine { kSqlite, kSqlServer };

/// Which tables a database holds: the main database all 22, a local one the 19 master tables.
enum class TableSet { kAll, kMasterOnly };

/// The statements that create the tables and the indexes the server's queries need on them.
std::vector<std::string> StoreTablesDdl(Engine engine, TableSet tables = TableSet::kAll);

/// The same as one script, for printing ("GO"-separated for SQL Server), each index with a
/// comment saying which query it serves.
std::string StoreTablesScript(Engine engine, TableSet tables = TableSet::kAll);

}  // namespace rilo::schema
