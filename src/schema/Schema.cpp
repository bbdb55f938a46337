#include "rilo/StoreSchema.h"

#include <fmt/format.h>

#include <string_view>
#include <utility>

#include "schema/TableCatalogue.h"

namespace rilo::schema {
namespace {

// An index one of the server's queries needs. On the embedded engine the date conversion of
// the queries, CONVERT(varchar(100), col, 23), runs as substr(col,1,10), so an expression
// index on that text lets the date test seek. SQL Server counts style 23 on datetime as
// nondeterministic, so no computed column or index can hold it there: the index seeks to the
// store and carries the other columns the query reads, and the date test runs on the index
// rows of that store alone. On both engines the summed and compared columns ride along in the
// index, so the summary never visits the table (a third of the time on a million sales rows).
struct QueryIndex {
  std::string_view name;
  std::string_view table;
  std::string_view sqlite_keys;
  std::string_view sql_server_keys;
  std::string_view sql_server_include;  // empty for none
  std::string_view why;
};

constexpr QueryIndex kQueryIndexes[] = {
    {"IX_销售详情_分店日期", "销售详情", "所属分店, substr(消费日期,1,10), 销售类型, 项目类型, 售价",
     "[所属分店], [消费日期]", "[销售类型], [项目类型], [售价]",
     "The daily summary sums the sales of one store on one date."},
    {"IX_会员记录_分店日期", "会员记录", "所属分店, substr(办理日期,1,10), 操作类型, 消费金额",
     "[所属分店], [办理日期]", "[操作类型], [消费金额]",
     "The daily summary sums the card openings and renewals of one store on one date."},
    // The three equality tests first, then the date: both engines read the waiting
    // appointments of the store in time order from the first one on or after the business
    // date, and stop there (the embedded engine bounds the date itself as well as its text).
    {"IX_服务预约_待提醒", "服务预约", "所属分店, 预约状态, 预约提醒, 预约日期",
     "[所属分店], [预约状态], [预约提醒], [预约日期]", "",
     "The reminder looks for the earliest booked, unreminded appointment of one store."},
    {"IX_员工信息_员工编号", "员工信息", "员工编号", "[员工编号]", "",
     "The reminder joins each appointment to its staff member by staff number."},
};

std::string_view SqliteType(ColumnType type) {
  switch (type) {
    case ColumnType::kKey:
      return "INTEGER PRIMARY KEY";  // the row id: the engine's identity column
    case ColumnType::kText:
    case ColumnType::kLongText:
    case ColumnType::kTime:  // 'HH:MM'
      return "TEXT";
    case ColumnType::kMoney:
      return "DECIMAL(18,2)";  // declared exact so the engine reads it back as a decimal
    case ColumnType::kRate:
      return "DECIMAL(9,4)";
    case ColumnType::kInteger:
    case ColumnType::kFlag:
      return "INTEGER";
    case ColumnType::kDateTime:
      return "DATETIME";  // stored as 'YYYY-MM-DD HH:MM:SS'
  }
  return "TEXT";
}

std::string_view SqlServerType(ColumnType type) {
  switch (type) {
    case ColumnType::kKey:
      return "int IDENTITY(1,1) NOT NULL PRIMARY KEY";
    case ColumnType::kText:
      return "nvarchar(50)";
    case ColumnType::kLongText:
      return "nvarchar(500)";
    case ColumnType::kTime:
      return "time(0)";
    case ColumnType::kMoney:
      return "decimal(18,2)";
    case ColumnType::kRate:
      return "decimal(9,4)";
    case ColumnType::kInteger:
      return "int";
    case ColumnType::kFlag:
      return "bit";
    case ColumnType::kDateTime:
      return "datetime";
  }
  return "nvarchar(50)";
}

std::string ColumnDefinition(Engine engine, const Column& column) {
  if (engine == Engine::kSqlite) {
    std::string text = fmt::format("{} {}", column.name, SqliteType(column.type));
    if (column.zero_by_default) text += " NOT NULL DEFAULT 0";
    return text;
  }
  std::string text = fmt::format("[{}] {}", column.name, SqlServerType(column.type));
  if (column.type != ColumnType::kKey) {
    text += column.zero_by_default ? " NOT NULL DEFAULT 0" : " NULL";
  }
  return text;
}

std::string CreateTable(Engine engine, const StoreTable& table) {
  std::string text = engine == Engine::kSqlite
                         ? fmt::format("CREATE TABLE {} (", table.name)
                         : fmt::format("CREATE TABLE [dbo].[{}] (", table.name);
  const char* separator = "\n  ";
  for (const auto& column : table.columns) {
    text += separator;
    text += ColumnDefinition(engine, column);
    separator = ",\n  ";
  }
  text += "\n)";
  return text;
}

std::string CreateIndex(Engine engine, const QueryIndex& index) {
  if (engine == Engine::kSqlite) {
    return fmt::format("CREATE INDEX {} ON {}({})", index.name, index.table, index.sqlite_keys);
  }
  std::string text = fmt::format("CREATE INDEX [{}] ON [dbo].[{}]({})", index.name, index.table,
                                 index.sql_server_keys);
  if (!index.sql_server_include.empty()) {
    text += fmt::format(" INCLUDE ({})", index.sql_server_include);
  }
  return text;
}

bool Wanted(const StoreTable& table, TableSet tables) {
  return tables == TableSet::kAll || table.master;
}

// The statements in script order, each index with the reason it exists.
std::vector<std::pair<std::string, std::string_view>> Statements(Engine engine, TableSet tables) {
  std::vector<std::pair<std::string, std::string_view>> statements;
  for (const auto& table : StoreTableCatalogue()) {
    if (Wanted(table, tables)) statements.emplace_back(CreateTable(engine, table), "");
  }
  for (const auto& index : kQueryIndexes) {
    if (Wanted(FindStoreTable(index.table), tables)) {
      statements.emplace_back(CreateIndex(engine, index), index.why);
    }
  }
  return statements;
}

}  // namespace

std::vector<std::string> StoreTablesDdl(Engine engine, TableSet tables) {
  std::vector<std::string> result;
  for (auto& [statement, why] : Statements(engine, tables)) result.push_back(std::move(statement));
  return result;
}

std::string StoreTablesScript(Engine engine, TableSet tables) {
  const bool sqlite = engine == Engine::kSqlite;
  std::string script =
      sqlite ? "-- Store tables for the embedded engine.\n" : "-- Store tables for SQL Server.\n";
  for (const auto& [statement, why] : Statements(engine, tables)) {
    script += "\n";
    if (!why.empty()) script += fmt::format("-- {}\n", why);
    script += statement;
    script += sqlite ? ";\n" : "\nGO\n";
  }
  return script;
}

}  // namespace rilo::schema
