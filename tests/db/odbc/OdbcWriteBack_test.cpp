#include <gtest/gtest.h>

#include <string>

#include "SqliteOdbcFixture.h"
#include "db/DbError.h"
#include "db/access/Connection.h"
#include "db/access/Recordset.h"

namespace rilo::db {
namespace {

class OdbcWriteBackTest : public testing::SqliteOdbcFixture {
 protected:
  void SetUp() override {
    SqliteOdbcFixture::SetUp();
    auto session = Open();
    session->Execute("create table 预约 (编号 integer primary key, 顾客 text, 已提醒 integer)");
    session->Execute("insert into 预约 values (1, '张三', 0)");
    session->Execute("insert into 预约 values (2, '李四', 0)");
  }

  std::int64_t Reminded(std::int64_t number) {
    const ResultSet result =
        Open()->Query("select 已提醒 from 预约 where 编号 = " + std::to_string(number));
    return std::get<std::int64_t>(result.rows.at(0).at(0));
  }

  static constexpr const char* kQuery =
      "Select 顾客, 已提醒 From [预约] Where 已提醒 = 0 Order By 编号";
};

// The reminder job's road: an optimistic client recordset, one field changed, Update.
TEST_F(OdbcWriteBackTest, UpdateWritesTheChangedFieldToItsRow) {
  Connection connection(Options());
  connection.SetCursorLocation(CursorLocation::kUseClient);
  connection.Open(ConnectionText());
  Recordset recordset;
  recordset.SetCursorLocation(CursorLocation::kUseClient);
  recordset.Open(kQuery, connection, CursorType::kKeyset, LockType::kOptimistic);

  ASSERT_FALSE(recordset.IsEOF());
  EXPECT_EQ(recordset.Item("顾客").GetValue(), Value(std::string("张三")));
  recordset.Item("已提醒").SetValue(std::int64_t{1});
  recordset.Update();
  recordset.Close();
  connection.Close();

  EXPECT_EQ(Reminded(1), 1);
  EXPECT_EQ(Reminded(2), 0);
}

TEST_F(OdbcWriteBackTest, ARowChangedMeanwhileIsNotOverwritten) {
  Connection connection(Options());
  connection.SetCursorLocation(CursorLocation::kUseClient);
  connection.Open(ConnectionText());
  Recordset recordset;
  recordset.SetCursorLocation(CursorLocation::kUseClient);
  recordset.Open(kQuery, connection, CursorType::kKeyset, LockType::kOptimistic);
  Open()->Execute("update 预约 set 已提醒 = 7 where 编号 = 1");

  recordset.Item("已提醒").SetValue(std::int64_t{1});
  try {
    recordset.Update();
    FAIL() << "a row changed by someone else was overwritten";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kRowChanged);
  }
  EXPECT_EQ(Reminded(1), 7);
}

}  // namespace
}  // namespace rilo::db
