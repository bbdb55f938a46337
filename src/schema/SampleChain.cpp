#include "rilo/SampleChain.h"

#include <fmt/format.h>

#include <stdexcept>
#include <system_error>

#include "db/ModSQL.h"
#include "db/Utf8Path.h"
#include "rilo/StoreSchema.h"
#include "schema/SampleRows.h"
#include "schema/SqliteFile.h"
#include "schema/TableCatalogue.h"

namespace rilo::schema {
namespace {

// What a master table's column holds when the sample leaves it unset: the store program
// writes empty texts and zeros rather than Null.
db::Value EmptyValue(ColumnType type) {
  switch (type) {
    case ColumnType::kText:
    case ColumnType::kLongText:
      return std::string();
    case ColumnType::kMoney:
    case ColumnType::kRate:
      return 0.0;
    case ColumnType::kInteger:
    case ColumnType::kFlag:
      return std::int64_t{0};
    case ColumnType::kKey:
    case ColumnType::kDateTime:
    case ColumnType::kTime:
      break;
  }
  return db::Null{};
}

// Writes the rows in the catalogue's column order; a column the catalogue does not know is a
// fault of the sample, never silently dropped.
void WriteRows(SqliteFile& file, const SampleTables& tables) {
  for (const auto& table : StoreTableCatalogue()) {
    const auto rows = tables.find(table.name);
    if (rows == tables.end()) continue;
    std::vector<std::string_view> names;
    for (const auto& column : table.columns) names.push_back(column.name);
    for (const auto& row : rows->second) {
      std::vector<db::Value> values;
      for (const auto& column : table.columns) {
        values.push_back(table.master ? EmptyValue(column.type) : db::Value(db::Null{}));
      }
      for (const auto& [name, value] : row) {
        std::size_t at = 0;
        while (at < names.size() && names[at] != name) ++at;
        if (at == names.size()) {
          throw std::logic_error(
              fmt::format("sample row of {} names no column {}", table.name, name));
        }
        values[at] = value;
      }
      file.Insert(table.name, names, values);
    }
  }
  for (const auto& [name, rows] : tables) FindStoreTable(name);  // throws for an unknown table
}

void RemoveDatabaseFile(const std::filesystem::path& file) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::path part = file;
    part += suffix;
    std::filesystem::remove(part);
  }
}

void CreateDatabase(const std::filesystem::path& file, TableSet tables, const SampleTables& rows) {
  RemoveDatabaseFile(file);
  SqliteFile database(file);
  database.Execute("BEGIN");
  for (const auto& statement : StoreTablesDdl(Engine::kSqlite, tables)) {
    database.Execute(statement);
  }
  WriteRows(database, rows);
  database.Execute("COMMIT");
}

void CheckDatabaseName(const std::string& name) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." ||
      name == ".." || name.find(db::kSettingsSeparator) != std::string::npos) {
    throw std::invalid_argument("not a database name: \"" + name + "\"");
  }
}

}  // namespace

SampleChain CreateSampleChain(const SampleChainOptions& options) {
  CheckDatabaseName(options.main_database);
  CheckDatabaseName(options.local_database);
  if (options.main_database == options.local_database) {
    throw std::invalid_argument("the main and the local database must differ");
  }
  std::filesystem::create_directories(options.dir);
  const auto dir = std::filesystem::absolute(options.dir).lexically_normal();

  SampleRandom random(options.seed);
  const SampleModel model = BuildSampleModel(options, random);
  SampleTables main_rows = MasterRows(model, random);
  SampleTables local_rows = options.stale_local_rows ? StaleMasterRows(main_rows) : SampleTables{};
  main_rows.merge(BusinessRows(model, random));

  CreateDatabase(dir / (options.main_database + ".db"), TableSet::kAll, main_rows);
  CreateDatabase(dir / (options.local_database + ".db"), TableSet::kMasterOnly, local_rows);

  const std::string source = "sqlite:" + db::PathToUtf8(dir);
  const std::string_view bar = db::kSettingsSeparator;
  return {dir, options.main_database, options.local_database,
          fmt::format("{0}{1}{1}{1}{2}{1}{0}{1}{1}{1}{3}", source, bar, options.main_database,
                      options.local_database)};
}

void CreateEmptyStoreDatabase(const std::filesystem::path& file, bool master_tables_only) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  CreateDatabase(file, master_tables_only ? TableSet::kMasterOnly : TableSet::kAll, {});
}

}  // namespace rilo::schema
