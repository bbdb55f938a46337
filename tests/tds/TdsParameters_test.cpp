#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/access/Connection.h"
#include "db/access/Recordset.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

using db::Decimal;
using db::Null;
using db::Value;

class TdsParameters : public TdsFixture {
 protected:
  void SetUp() override {
    TdsFixture::SetUp();
    CreateDatabase("门店");
    auto direct = Direct("门店");
    direct->Execute(
        "CREATE TABLE 预约 (编号 int PRIMARY KEY, 顾客 nvarchar(40), 已提醒 int, 金额 money, "
        "时间 datetime, 比例 float)");
    direct->Execute("INSERT INTO 预约 VALUES (1, N'张三', 0, 10.5, '2026-03-08 10:00:00', 0.5)");
    direct->Execute("INSERT INTO 预约 VALUES (2, N'李四', 0, NULL, NULL, NULL)");
    StartServer();
  }

  std::vector<Value> Row(std::int64_t number) {
    const db::ResultSet result = Direct("门店")->Query(
        "SELECT 编号, 顾客, 已提醒, 金额, 时间, 比例 FROM 预约 WHERE 编号 = " +
        std::to_string(number));
    return result.rows.empty() ? std::vector<Value>{} : result.rows.front();
  }

  static constexpr const char* kQuery =
      "Select 顾客, 已提醒 From [预约] Where 已提醒 = 0 Order By 编号";
};

TEST_F(TdsParameters, EveryValueKindTravelsAsAParameter) {
  const CalendarDateTime at{2026, 3, 8, 21, 5, 30, 500};
  const std::vector<Value> values = {
      std::int64_t{3}, std::string("王五·东城"), std::int64_t{-1}, Decimal{"-1280.5"}, at, 0.25};
  const std::int64_t changed = Connect("门店")->ExecuteWithParams(
      "INSERT INTO 预约 (编号, 顾客, 已提醒, 金额, 时间, 比例) VALUES (?, ?, ?, ?, ?, ?)", values);
  EXPECT_EQ(changed, 1);
  const std::vector<Value> row = Row(3);
  ASSERT_EQ(row.size(), 6u);
  EXPECT_EQ(row[1], Value(std::string("王五·东城")));
  EXPECT_EQ(row[2], Value(std::int64_t{-1}));
  EXPECT_EQ(db::ValueToText(row[3]), "-1280.5");
  EXPECT_EQ(row[4], Value(at));
  EXPECT_EQ(row[5], Value(0.25));
}

TEST_F(TdsParameters, NullsAndQuotesInParametersAreValuesNotText) {
  const std::vector<Value> values = {std::string("O'Brien; DROP TABLE 预约"), Null{},
                                     std::int64_t{2}};
  EXPECT_EQ(Connect("门店")->ExecuteWithParams("UPDATE 预约 SET 顾客 = ?, 金额 = ? WHERE 编号 = ?",
                                               values),
            1);
  const std::vector<Value> row = Row(2);
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[1], Value(std::string("O'Brien; DROP TABLE 预约")));
  EXPECT_EQ(row[3], Value(Null{}));
}

TEST_F(TdsParameters, TextLongerThanFourThousandUnitsTravelsWhole) {
  std::string long_text;
  for (int i = 0; i < 2500; ++i) long_text += "预约b";  // 5000 UTF-16 units
  const std::vector<Value> values = {long_text, std::int64_t{1}};
  EXPECT_EQ(Connect("门店")->ExecuteWithParams("UPDATE 预约 SET 顾客 = ? WHERE 编号 = ?", values),
            1);
  EXPECT_EQ(Row(1).at(1), Value(long_text));
}

TEST_F(TdsParameters, RowCountsComeBackForEachExecution) {
  auto session = Connect("门店");
  const std::vector<Value> none_match = {std::int64_t{99}};
  EXPECT_EQ(session->ExecuteWithParams("UPDATE 预约 SET 已提醒 = 1 WHERE 编号 = ?", none_match), 0);
  const std::vector<Value> both = {std::int64_t{0}};
  EXPECT_EQ(session->ExecuteWithParams("UPDATE 预约 SET 已提醒 = 1 WHERE 已提醒 = ?", both), 2);
}

TEST_F(TdsParameters, WrongNumberOfValuesIsRefusedBeforeSending) {
  const std::vector<Value> one = {std::int64_t{1}};
  EXPECT_THROW(Connect("门店")->ExecuteWithParams("UPDATE 预约 SET 已提醒 = ? WHERE 编号 = ?", one),
               db::DbError);
}

TEST_F(TdsParameters, PrimaryKeyComesFromTheCatalogCall) {
  auto session = Connect("门店");
  EXPECT_EQ(session->PrimaryKeyColumns("预约"), std::vector<std::string>{"编号"});
  EXPECT_TRUE(session->PrimaryKeyColumns("没有").empty());
}

TEST_F(TdsParameters, DescribeTracesColumnsToTheirTable) {
  const std::vector<db::ColumnInfo> columns =
      Connect("门店")->Describe("SELECT 顾客 AS 名字, 已提醒, 1 + 1 AS 二 FROM 预约");
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].name, "名字");
  EXPECT_EQ(columns[0].base_table, "预约");
  EXPECT_EQ(columns[0].base_column, "顾客");
  EXPECT_EQ(columns[1].base_column, "已提醒");
  EXPECT_TRUE(columns[2].base_table.empty());
}

TEST_F(TdsParameters, RolledBackWorkIsGoneAndCommittedWorkStays) {
  auto session = Connect("门店");
  session->BeginTransaction();
  session->Execute("UPDATE 预约 SET 已提醒 = 5 WHERE 编号 = 1");
  session->Rollback();
  EXPECT_EQ(Row(1).at(2), Value(std::int64_t{0}));
  session->BeginTransaction();
  session->Execute("UPDATE 预约 SET 已提醒 = 6 WHERE 编号 = 1");
  session->Commit();
  EXPECT_EQ(Row(1).at(2), Value(std::int64_t{6}));
}

// The reminder's road: a client recordset, one field changed, Update through the key.
TEST_F(TdsParameters, WriteBackThroughTheKeyChangesOnlyThatRow) {
  db::Connection connection;
  connection.SetCursorLocation(db::CursorLocation::kUseClient);
  connection.Open(ConnectionText("门店"));
  db::Recordset recordset;
  recordset.SetCursorLocation(db::CursorLocation::kUseClient);
  recordset.Open(kQuery, connection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  ASSERT_FALSE(recordset.IsEOF());
  EXPECT_EQ(recordset.Item("顾客").GetValue(), Value(std::string("张三")));
  recordset.Item("已提醒").SetValue(std::int64_t{1});
  recordset.Update();
  recordset.Close();
  connection.Close();
  EXPECT_EQ(Row(1).at(2), Value(std::int64_t{1}));
  EXPECT_EQ(Row(2).at(2), Value(std::int64_t{0}));
}

TEST_F(TdsParameters, WriteBackFindsARowChangedMeanwhile) {
  db::Connection connection;
  connection.SetCursorLocation(db::CursorLocation::kUseClient);
  connection.Open(ConnectionText("门店"));
  db::Recordset recordset;
  recordset.SetCursorLocation(db::CursorLocation::kUseClient);
  recordset.Open(kQuery, connection, db::CursorType::kKeyset, db::LockType::kOptimistic);
  Direct("门店")->Execute("UPDATE 预约 SET 已提醒 = 7 WHERE 编号 = 1");
  recordset.Item("已提醒").SetValue(std::int64_t{1});
  try {
    recordset.Update();
    FAIL() << "a row changed by someone else was overwritten";
  } catch (const db::DbError& error) {
    EXPECT_EQ(error.kind(), db::DbError::Kind::kRowChanged);
  }
  EXPECT_EQ(Row(1).at(2), Value(std::int64_t{7}));
}

// A datetime holds .003 s as 1/300 s: the guard on the value read must still find the row.
TEST_F(TdsParameters, WriteBackOfADatetimeFindsItsRowAtAThreeHundredthOfASecond) {
  Direct("门店")->Execute("UPDATE 预约 SET 时间 = '2026-03-08 10:00:00.003' WHERE 编号 = 1");
  db::Connection connection;
  connection.SetCursorLocation(db::CursorLocation::kUseClient);
  connection.Open(ConnectionText("门店"));
  db::Recordset recordset;
  recordset.SetCursorLocation(db::CursorLocation::kUseClient);
  recordset.Open("Select 时间 From 预约 Where 编号 = 1", connection, db::CursorType::kKeyset,
                 db::LockType::kOptimistic);
  ASSERT_FALSE(recordset.IsEOF());
  recordset.Item("时间").SetValue(CalendarDateTime{2026, 3, 9, 11, 0, 0, 0});
  EXPECT_NO_THROW(recordset.Update());
  EXPECT_EQ(Row(1).at(4), Value(CalendarDateTime{2026, 3, 9, 11, 0, 0, 0}));
}

// A #table made inside a parameterised call ends with the call; one made by a batch stays.
TEST_F(TdsParameters, TempTableMadeInsideAParameterisedCallEndsWithIt) {
  auto session = Connect("门店");
  session->ExecuteWithParams("select 编号 into #made from 预约 where 编号 = ?",
                             std::vector<Value>{std::int64_t{1}});
  EXPECT_THROW(session->Query("select count(*) from #made"), db::DbError);
  session->Execute("select 编号 into #kept from 预约");
  EXPECT_EQ(session->Query("select count(*) from #kept").rows.at(0).at(0), Value(std::int64_t{2}));
}

// IDENTITY_INSERT set inside a parameterised call ends with it, so another table may have it.
TEST_F(TdsParameters, IdentityInsertSetInsideAParameterisedCallEndsWithIt) {
  auto direct = Direct("门店");
  direct->Execute("CREATE TABLE 甲 (编号 INTEGER PRIMARY KEY, 名 nvarchar(10))");
  direct->Execute("CREATE TABLE 乙 (编号 INTEGER PRIMARY KEY, 名 nvarchar(10))");
  auto session = Connect("门店");
  EXPECT_EQ(session->ExecuteWithParams(
                "SET IDENTITY_INSERT 甲 ON; INSERT INTO 甲 (编号, 名) VALUES (?, N'x')",
                std::vector<Value>{std::int64_t{7}}),
            1);
  EXPECT_NO_THROW(session->Execute("SET IDENTITY_INSERT 乙 ON"));
}

}  // namespace
}  // namespace rilo::tds::testing
