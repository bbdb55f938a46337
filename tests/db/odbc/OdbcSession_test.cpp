#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SqliteOdbcFixture.h"
#include "db/DbError.h"

namespace rilo::db {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class OdbcSessionTest : public testing::SqliteOdbcFixture {};

std::vector<std::string> Names(const std::vector<ColumnInfo>& columns) {
  std::vector<std::string> names;
  for (const ColumnInfo& column : columns) names.push_back(column.name);
  return names;
}

std::int64_t Count(Session& session, const std::string& table) {
  return std::get<std::int64_t>(session.Query("select count(*) from " + table).rows.at(0).at(0));
}

TEST_F(OdbcSessionTest, ChineseIdentifiersAndValuesTravelBothWays) {
  auto session = Open();
  session->Execute("create table 服务预约 (编号 integer primary key, 顾客 text, 项目 text)");
  session->Execute("insert into 服务预约 values (1, '张三', '足疗套餐')");
  session->Execute("insert into 服务预约 values (2, '李四', '修脚')");

  const ResultSet result =
      session->Query("select 编号, 顾客, 项目 from 服务预约 where 顾客 = '张三'");

  EXPECT_THAT(Names(result.columns), ElementsAre("编号", "顾客", "项目"));
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][0], Value(std::int64_t{1}));
  EXPECT_EQ(result.rows[0][1], Value(std::string("张三")));
  EXPECT_EQ(result.rows[0][2], Value(std::string("足疗套餐")));
}

// Characters beyond the BMP go as parameters here: unixODBC hands SQL text to a driver without
// wide entry points, as this one is, through UCS-2.
TEST_F(OdbcSessionTest, LongTextIsReadWhole) {
  auto session = Open();
  session->Execute("create table 备注 (内容 text)");
  std::string long_text;
  for (int i = 0; i < 5000; ++i) long_text += i % 7 == 0 ? "😀" : "预约";
  ASSERT_EQ(
      session->ExecuteWithParams("insert into 备注 values (?)", std::vector<Value>{long_text}), 1);

  const ResultSet result = session->Query("select 内容 from 备注");

  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][0], Value(long_text));
}

TEST_F(OdbcSessionTest, NullComesBackAsNullForEveryType) {
  auto session = Open();
  session->Execute("create table t (i integer, r real, d decimal(10,2), ts datetime, s text)");
  session->Execute("insert into t values (null, null, null, null, null)");

  const ResultSet result = session->Query("select i, r, d, ts, s from t");

  ASSERT_EQ(result.rows.size(), 1u);
  for (const Value& value : result.rows[0]) EXPECT_TRUE(IsNull(value));
}

TEST_F(OdbcSessionTest, ColumnTypesBecomeTheirValues) {
  auto session = Open();
  session->Execute(
      "create table t (i integer, big bigint, r real, d decimal(10,2), ts datetime, day date, "
      "flag bit)");
  session->Execute(
      "insert into t values (42, 9007199254740993, 2.5, 1280.5, '2024-03-05 14:30:15.250', "
      "'2024-03-05', 1)");

  const ResultSet result = session->Query("select i, big, r, d, ts, day, flag from t");

  ASSERT_EQ(result.rows.size(), 1u);
  const std::vector<Value>& row = result.rows[0];
  EXPECT_EQ(row[0], Value(std::int64_t{42}));
  // Past the precision of a double: only a 64-bit integer read keeps the last digit.
  EXPECT_EQ(row[1], Value(std::int64_t{9007199254740993}));
  EXPECT_EQ(row[2], Value(2.5));
  // This driver reports decimal columns as text: the driver's exact text, not a double.
  EXPECT_EQ(row[3], Value(std::string("1280.5")));
  EXPECT_EQ(row[4], Value(CalendarDateTime{2024, 3, 5, 14, 30, 15, 250}));
  EXPECT_EQ(row[5], Value(CalendarDateTime{2024, 3, 5, 0, 0, 0, 0}));
  EXPECT_EQ(row[6], Value(std::int64_t{1}));
}

TEST_F(OdbcSessionTest, QueryOfAStatementWithoutResultHasNoColumns) {
  auto session = Open();
  session->Execute("create table t (i integer)");
  session->Execute("insert into t values (1)");

  const ResultSet result = session->Query("delete from t");

  EXPECT_TRUE(result.columns.empty());
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(Count(*session, "t"), 0);
}

TEST_F(OdbcSessionTest, EngineErrorsCarrySqlstateAndTheDriversMessage) {
  auto session = Open();

  try {
    session->Execute("selec 1 frm nowhere");
    FAIL() << "a syntax error was accepted";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kEngine);
    EXPECT_EQ(error.sqlstate().size(), 5u);
    EXPECT_THAT(error.what(), HasSubstr("syntax error"));
  }

  try {
    session->Query("select 编号 from 不存在的表");
    FAIL() << "a missing table was not reported";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kEngine);
    EXPECT_FALSE(error.sqlstate().empty());
    EXPECT_THAT(error.what(), HasSubstr("no such table: 不存在的表"));
  }
}

TEST_F(OdbcSessionTest, FailedConnectNamesTheDatabaseButNeverThePassword) {
  const std::string missing_folder = (folder() / "missing" / "store.db").string();
  try {
    OpenOdbcSession(ConnectionString::Parse("Data Source=local;Database=" + missing_folder +
                                            ";UID=clerk;PWD=TopSecret99"),
                    odbc_);
    FAIL() << "a database in a missing folder was opened";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kEngine);
    EXPECT_THAT(error.what(), HasSubstr(missing_folder));
    EXPECT_THAT(error.what(), Not(HasSubstr("TopSecret99")));
  }
}

TEST_F(OdbcSessionTest, APasswordCannotRedirectTheConnection) {
  const std::string elsewhere = (folder() / "elsewhere.db").string();
  const std::string intended = (folder() / "store.db").string();
  auto session =
      OpenOdbcSession(ConnectionString::Parse("Data Source=local;Database=" + intended +
                                              ";UID=clerk;PWD=\"x;Database=" + elsewhere + "\""),
                      odbc_);
  session->Execute("create table t (i integer)");

  EXPECT_TRUE(std::filesystem::exists(intended));
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

TEST_F(OdbcSessionTest, DescribeNamesColumnsAndBaseTablesWithoutRunning) {
  auto session = Open();
  session->Execute("create table 服务预约 (编号 integer primary key, 顾客 text)");

  const std::vector<ColumnInfo> columns =
      session->Describe("select 顾客 as 客人, 编号, 1 + 1 as 合计 from 服务预约");

  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].name, "客人");
  EXPECT_EQ(columns[0].base_table, "服务预约");  // this driver gives the alias as base column
  EXPECT_EQ(columns[1].name, "编号");
  EXPECT_EQ(columns[1].base_table, "服务预约");
  EXPECT_EQ(columns[1].base_column, "编号");
  EXPECT_EQ(columns[2].name, "合计");
  EXPECT_EQ(columns[2].base_table, "");
  EXPECT_EQ(columns[2].base_column, "");

  EXPECT_TRUE(session->Describe("insert into 服务预约 (顾客) values ('张三')").empty());
  EXPECT_EQ(Count(*session, "服务预约"), 0);
}

TEST_F(OdbcSessionTest, QueryResultsNameTheirBaseTables) {
  auto session = Open();
  session->Execute("create table 服务预约 (编号 integer primary key, 顾客 text)");

  const ResultSet result = session->Query("select 顾客 from 服务预约");

  ASSERT_EQ(result.columns.size(), 1u);
  EXPECT_EQ(result.columns[0].base_table, "服务预约");
  EXPECT_EQ(result.columns[0].base_column, "顾客");
}

TEST_F(OdbcSessionTest, PrimaryKeyColumnsInKeyOrder) {
  auto session = Open();
  session->Execute("create table 服务预约 (编号 integer primary key, 顾客 text)");
  session->Execute("create table 排班 (日期 text, 员工 text, 班次 text, primary key (日期, 员工))");
  session->Execute("create table 日志 (内容 text)");

  EXPECT_THAT(session->PrimaryKeyColumns("服务预约"), ElementsAre("编号"));
  EXPECT_THAT(session->PrimaryKeyColumns("[服务预约]"), ElementsAre("编号"));
  EXPECT_THAT(session->PrimaryKeyColumns("排班"), ElementsAre("日期", "员工"));
  // No declared key: the driver's best row identifier stands in.
  EXPECT_THAT(session->PrimaryKeyColumns("日志"), ElementsAre("_ROWID_"));
  EXPECT_THROW(session->PrimaryKeyColumns("[服务预约"), DbError);
}

TEST_F(OdbcSessionTest, ExecuteWithParamsBindsEveryValueType) {
  auto session = Open();
  session->Execute(
      "create table t (s text, i integer, r real, d text, ts datetime, n text, z integer)");
  const std::vector<Value> params = {std::string("张三😀"),
                                     std::int64_t{-9007199254740993},
                                     0.1,
                                     Decimal{"1280.5000"},
                                     CalendarDateTime{2024, 2, 29, 23, 59, 58, 0},
                                     Null{},
                                     std::string()};

  EXPECT_EQ(session->ExecuteWithParams("insert into t values (?, ?, ?, ?, ?, ?, ?)", params), 1);

  const ResultSet result = session->Query("select s, i, r, d, ts, n, typeof(z) from t");
  ASSERT_EQ(result.rows.size(), 1u);
  const std::vector<Value>& row = result.rows[0];
  EXPECT_EQ(row[0], Value(std::string("张三😀")));
  EXPECT_EQ(row[1], Value(std::int64_t{-9007199254740993}));
  EXPECT_EQ(row[2], Value(0.1));
  // Sent as its exact text: the trailing zeros survive in a text column.
  EXPECT_EQ(row[3], Value(std::string("1280.5000")));
  EXPECT_EQ(row[4], Value(CalendarDateTime{2024, 2, 29, 23, 59, 58, 0}));
  EXPECT_TRUE(IsNull(row[5]));
  EXPECT_EQ(row[6], Value(std::string("text")));
}

TEST_F(OdbcSessionTest, ExecuteWithParamsCountsChangedRows) {
  auto session = Open();
  session->Execute("create table 预约 (编号 integer primary key, 已提醒 integer)");
  session->Execute("insert into 预约 values (1, 0)");
  session->Execute("insert into 预约 values (2, 0)");
  session->Execute("insert into 预约 values (3, 1)");

  EXPECT_EQ(session->ExecuteWithParams("update 预约 set 已提醒 = ? where 已提醒 = ?",
                                       std::vector<Value>{std::int64_t{1}, std::int64_t{0}}),
            2);
  EXPECT_EQ(session->ExecuteWithParams("update 预约 set 已提醒 = 1 where 编号 = ?",
                                       std::vector<Value>{std::int64_t{99}}),
            0);
  EXPECT_EQ(session->ExecuteWithParams("delete from 预约 where 编号 = ?",
                                       std::vector<Value>{Decimal{"3"}}),
            1);
}

TEST_F(OdbcSessionTest, ExecuteWithParamsRefusesWrongUse) {
  auto session = Open();
  session->Execute("create table t (i integer, d text)");

  try {
    session->ExecuteWithParams("insert into t values (?, ?)", std::vector<Value>{std::int64_t{1}});
    FAIL() << "a missing parameter was accepted";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kUsage);
  }
  for (const char* not_a_number : {"", "-", "1.2.3", "12a", "1e5", "."}) {
    try {
      session->ExecuteWithParams("insert into t values (1, ?)",
                                 std::vector<Value>{Decimal{not_a_number}});
      FAIL() << "'" << not_a_number << "' was sent as a decimal";
    } catch (const DbError& error) {
      EXPECT_EQ(error.kind(), DbError::Kind::kUsage) << not_a_number;
    }
  }
  EXPECT_EQ(Count(*session, "t"), 0);
}

TEST_F(OdbcSessionTest, TransactionsCommitAndRollBack) {
  auto session = Open();
  session->Execute("create table t (i integer)");

  session->BeginTransaction();
  session->Execute("insert into t values (1)");
  session->Rollback();
  EXPECT_EQ(Count(*session, "t"), 0);

  session->BeginTransaction();
  session->Execute("insert into t values (2)");
  session->Commit();
  auto other = Open();
  EXPECT_EQ(Count(*other, "t"), 1);

  // Back in autocommit: a statement after the transaction stands on its own.
  session->Execute("insert into t values (3)");
  other.reset();
  other = Open();
  EXPECT_EQ(Count(*other, "t"), 2);
}

TEST_F(OdbcSessionTest, TransactionMisuseIsRefused) {
  auto session = Open();
  EXPECT_THROW(session->Commit(), DbError);
  EXPECT_THROW(session->Rollback(), DbError);
  session->BeginTransaction();
  try {
    session->BeginTransaction();
    FAIL() << "a second transaction was begun";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kUsage);
  }
  session->Rollback();
}

TEST_F(OdbcSessionTest, ClosingWithAnOpenTransactionRollsItBack) {
  {
    auto session = Open();
    session->Execute("create table t (i integer)");
    session->BeginTransaction();
    session->Execute("insert into t values (1)");
  }
  auto session = Open();
  EXPECT_EQ(Count(*session, "t"), 0);
}

}  // namespace
}  // namespace rilo::db
