#include "rilo/StoreSchema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "db/StoreTables.h"
#include "schema/SqliteQuery.h"
#include "schema/TableCatalogue.h"

namespace {

using rilo::schema::Engine;
using rilo::schema::StoreTablesDdl;
using rilo::schema::StoreTablesScript;
using rilo::schema::TableSet;
using rilo::schema::testing::ScratchDir;
using rilo::schema::testing::SqliteQuery;

const std::set<std::string> kTransactionTables = {"销售详情", "会员记录", "服务预约"};

std::set<std::string> MasterTableNames() {
  std::set<std::string> names;
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) names.emplace(table.name);
  return names;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

SqliteQuery FreshDatabase(const std::string& test, TableSet tables) {
  SqliteQuery db(ScratchDir(test) / "store.db", true);
  db.Execute("BEGIN");
  for (const auto& statement : StoreTablesDdl(Engine::kSqlite, tables)) db.Execute(statement);
  db.Execute("COMMIT");
  return db;
}

std::set<std::string> Tables(SqliteQuery& db) {
  const auto names = db.Column("SELECT name FROM sqlite_master WHERE type = 'table'");
  return {names.begin(), names.end()};
}

TEST(SqliteDdl, CreatesTheTwentyTwoTablesInAFreshFile) {
  auto db = FreshDatabase("ddl-all", TableSet::kAll);
  auto expected = MasterTableNames();
  expected.insert(kTransactionTables.begin(), kTransactionTables.end());
  EXPECT_EQ(expected.size(), 22u);
  EXPECT_EQ(Tables(db), expected);
}

TEST(SqliteDdl, MasterTablesHaveAnIntegerPrimaryKeyAndTheCopyColumnsInOrder) {
  auto db = FreshDatabase("ddl-master-columns", TableSet::kAll);
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) {
    const std::string name(table.name);
    SCOPED_TRACE(name);
    // name, type, pk of every column, in table order
    const auto info = db.Rows("SELECT name, type, pk FROM pragma_table_info('" + name + "')");
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info[0], (std::vector<std::string>{"ID", "INTEGER", "1"}));
    std::string columns;
    for (const auto& column : info) {
      columns += (columns.empty() ? "" : ",") + column[0];
      if (column[0] != "ID") {
        EXPECT_EQ(column[2], "0");
      }
    }
    EXPECT_EQ(columns, table.columns);
    const auto sql = db.Value("SELECT sql FROM sqlite_master WHERE name = '" + name + "'");
    EXPECT_NE(sql.find("ID INTEGER PRIMARY KEY"), std::string::npos);
  }
}

TEST(SqliteDdl, KeyColumnIsTheIdentityOfEveryTable) {
  auto db = FreshDatabase("ddl-identity", TableSet::kAll);
  // A row inserted without an ID gets the next one, as an identity column does.
  db.Execute("INSERT INTO 服务预约(顾客姓名) VALUES('李女士')");
  db.Execute("INSERT INTO 服务预约(顾客姓名) VALUES('王先生')");
  EXPECT_EQ(db.Column("SELECT ID FROM 服务预约 ORDER BY ID"), (std::vector<std::string>{"1", "2"}));
  // Explicit IDs, as the refresh copies them, are kept.
  db.Execute("INSERT INTO 服务类别(ID, 服务类别) VALUES(17, 'Facial')");
  EXPECT_EQ(db.Value("SELECT 服务类别 FROM 服务类别 WHERE ID = 17"), "Facial");
}

TEST(SqliteDdl, TypesKeepAmountsExactAndTheReminderFlagZero) {
  auto db = FreshDatabase("ddl-types", TableSet::kAll);
  db.Execute(
      "INSERT INTO 销售详情(销售类型, 售价, 消费日期, 所属分店) VALUES"
      "('销售服务', '1280.5', '2026-03-08 14:30:00', 'Riverside'),"
      "('销售服务', '0.1', '2026-03-08 15:00:00', 'Riverside'),"
      "('销售服务', '0.2', '2026-03-08 16:00:00', 'Riverside')");
  EXPECT_EQ(db.Value("SELECT typeof(售价) FROM 销售详情 WHERE ID = 1"), "real");
  EXPECT_EQ(db.Value("SELECT typeof(消费日期) FROM 销售详情 WHERE ID = 1"), "text");
  const auto types = db.Rows(
      "SELECT name, type FROM pragma_table_info('销售详情') WHERE name IN ('售价', "
      "'消费日期') ORDER BY cid");
  EXPECT_EQ(types, (std::vector<std::vector<std::string>>{{"售价", "DECIMAL(18,2)"},
                                                          {"消费日期", "DATETIME"}}));

  // The reminder selects rows whose flag is 0, so a new appointment must start at 0.
  db.Execute("INSERT INTO 服务预约(顾客姓名, 预约日期) VALUES('李女士', '2026-03-09 14:30:00')");
  EXPECT_EQ(db.Value("SELECT 预约提醒 FROM 服务预约"), "0");
  EXPECT_THROW(db.Execute("INSERT INTO 服务预约(预约提醒) VALUES(NULL)"), std::runtime_error);
}

TEST(SqliteDdl, LocalDatabaseGetsOnlyTheMasterTables) {
  auto db = FreshDatabase("ddl-master-only", TableSet::kMasterOnly);
  EXPECT_EQ(Tables(db), MasterTableNames());
  // The staff index comes along with its table; the others have no table to sit on.
  EXPECT_EQ(db.Column("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT "
                      "NULL"),
            (std::vector<std::string>{"员工信息"}));
}

// The plans below use the queries as the embedded engine runs them, with the date conversion
// turned into substr(col,1,10), and a range on the column itself added to the reminder's.
TEST(SqliteDdl, IndexesServeTheSummaryAndReminderQueries) {
  auto db = FreshDatabase("ddl-plans", TableSet::kAll);
  const auto plan = [&](const std::string& sql) {
    std::string text;
    for (const auto& row : db.Rows("EXPLAIN QUERY PLAN " + sql)) text += row.back() + "\n";
    return text;
  };
  const auto summary = plan(
      "Select sum(case when 销售类型 ='销售商品' then 售价 else 0 end) as 商品销售 From "
      "[销售详情] Where substr(消费日期,1,10) = '2026-03-08' and 所属分店 = 'Riverside'");
  EXPECT_NE(summary.find(" INDEX IX_销售详情_分店日期"), std::string::npos) << summary;
  EXPECT_NE(summary.find("AND <expr>=?"), std::string::npos) << summary;  // seeks on the date

  const auto cards = plan(
      "Select sum(case when 操作类型 ='会员办卡' then 消费金额 else 0 end) as 会员开卡 From "
      "[会员记录]  Where substr(办理日期,1,10) = '2026-03-08' and 所属分店 = 'Riverside'");
  EXPECT_NE(cards.find(" INDEX IX_会员记录_分店日期"), std::string::npos) << cards;

  const auto reminder = plan(
      "Select 服务预约.预约提醒,服务预约.顾客姓名,员工信息.员工编号,服务预约.预约日期 From "
      "服务预约 "
      "LEFT JOIN 员工信息 ON 服务预约.预约员工 = 员工信息.员工编号 Where "
      "(服务预约.预约日期 >= '2026-03-08' COLLATE BINARY AND substr(服务预约.预约日期,1,10) >= "
      "'2026-03-08') and 服务预约.所属分店 = '中心店' and "
      "服务预约.预约状态 ='预约' and 服务预约.预约提醒 = 0 ORDER BY 服务预约.预约日期 ASC LIMIT 1");
  // Read in date order from the first candidate on: nothing is sorted. SQLite versions word a
  // covering index differently, so only the index and its constraints are looked for.
  EXPECT_NE(reminder.find(" INDEX IX_服务预约_待提醒 (所属分店=? AND 预约状态=? AND "
                          "预约提醒=? AND 预约日期>?)"),
            std::string::npos)
      << reminder;
  EXPECT_EQ(reminder.find("TEMP B-TREE"), std::string::npos) << reminder;
  EXPECT_NE(reminder.find("INDEX IX_员工信息_员工编号 (员工编号=?)"), std::string::npos)
      << reminder;
}

TEST(SqliteDdl, ScriptRunsAsOneBatch) {
  SqliteQuery db(ScratchDir("ddl-script") / "store.db", true);
  const auto script = StoreTablesScript(Engine::kSqlite);
  db.Execute(script);
  EXPECT_EQ(Tables(db).size(), 22u);
  EXPECT_EQ(Count(script, "CREATE INDEX"), 4u);
  // Each index says which query it serves.
  EXPECT_EQ(Count(script, "-- The daily summary"), 2u);
  EXPECT_EQ(Count(script, "-- The reminder"), 2u);
}

TEST(SqlServerDdl, CreatesTheTwentyTwoTablesWithIdentityIds) {
  const auto statements = StoreTablesDdl(Engine::kSqlServer);
  std::set<std::string> created;
  for (const auto& statement : statements) {
    const std::string prefix = "CREATE TABLE [dbo].[";
    if (!statement.starts_with(prefix)) continue;
    const auto name =
        statement.substr(prefix.size(), statement.find(']', prefix.size()) - prefix.size());
    created.insert(name);
    SCOPED_TRACE(name);
    EXPECT_NE(statement.find("\n  [ID] int IDENTITY(1,1) NOT NULL PRIMARY KEY,\n"),
              std::string::npos);
    EXPECT_EQ(Count(statement, "IDENTITY"), 1u);
  }
  auto expected = MasterTableNames();
  expected.insert(kTransactionTables.begin(), kTransactionTables.end());
  EXPECT_EQ(created, expected);
}

TEST(SqlServerDdl, BracketsEveryNameAndUsesExactTypes) {
  const auto statements = StoreTablesDdl(Engine::kSqlServer);
  const auto find = [&](const std::string& table) {
    const auto it = std::find_if(statements.begin(), statements.end(), [&](const auto& s) {
      return s.starts_with("CREATE TABLE [dbo].[" + table + "]");
    });
    return it == statements.end() ? std::string() : *it;
  };
  const auto sales = find("销售详情");
  EXPECT_NE(sales.find("[售价] decimal(18,2) NULL"), std::string::npos) << sales;
  EXPECT_NE(sales.find("[消费日期] datetime NULL"), std::string::npos) << sales;
  EXPECT_NE(sales.find("[所属分店] nvarchar(50) NULL"), std::string::npos) << sales;
  EXPECT_NE(find("会员记录").find("[消费金额] decimal(18,2) NULL"), std::string::npos);
  const auto appointments = find("服务预约");
  EXPECT_NE(appointments.find("[预约提醒] int NOT NULL DEFAULT 0"), std::string::npos);
  EXPECT_NE(appointments.find("[预约日期] datetime NULL"), std::string::npos);
  const auto staff = find("员工信息");
  EXPECT_NE(staff.find("[入职日期] datetime NULL"), std::string::npos);
  EXPECT_NE(find("考勤设置").find("[上班时间] time(0) NULL"), std::string::npos);

  // Every column line is "[name] type", so no name can be misread by the server.
  for (const auto& table : rilo::schema::StoreTableCatalogue()) {
    const auto statement = find(std::string(table.name));
    for (const auto& column : table.columns) {
      EXPECT_NE(statement.find("\n  [" + std::string(column.name) + "] "), std::string::npos)
          << table.name << "." << column.name;
    }
  }
}

TEST(SqlServerDdl, ScriptSeparatesStatementsWithGoAndIndexesWithoutEngineExpressions) {
  const auto statements = StoreTablesDdl(Engine::kSqlServer);
  const auto script = StoreTablesScript(Engine::kSqlServer);
  EXPECT_EQ(Count(script, "\nGO\n"), statements.size());
  EXPECT_EQ(Count(script, "CREATE TABLE [dbo]."), 22u);
  EXPECT_EQ(Count(script, "CREATE INDEX"), 4u);
  EXPECT_EQ(script.find("substr"), std::string::npos);
  EXPECT_NE(script.find("ON [dbo].[销售详情]([所属分店], [消费日期]) INCLUDE ([销售类型], "
                        "[项目类型], [售价])"),
            std::string::npos);
  EXPECT_EQ(
      Count(StoreTablesScript(Engine::kSqlServer, TableSet::kMasterOnly), "CREATE TABLE [dbo]."),
      19u);
}

}  // namespace
