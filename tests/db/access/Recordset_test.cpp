#include "db/access/Recordset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/access/SessionOptions.h"
#include "db/sqlite/EngineFolder.h"
#include "rilo/SampleChain.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;
using Rows = std::vector<std::vector<std::string>>;

DbError::Kind FailureKind(const std::function<void()>& call) {
  try {
    call();
  } catch (const DbError& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no failure";
  return DbError::Kind::kEngine;
}

constexpr const char* kReminderQuery =
    "Select Top 1 服务预约.预约提醒,服务预约.顾客姓名,服务预约.顾客电话,员工信息.员工编号,"
    "服务预约.预约项目,服务预约.预约日期 From 服务预约 LEFT JOIN 员工信息 ON 服务预约.预约员工 = "
    "员工信息.员工编号 Where CONVERT(varchar(100), 服务预约.预约日期, 23) >= '2025-03-08' and "
    "服务预约.所属分店 = '中心店' and 服务预约.预约状态 ='预约' and 服务预约.预约提醒 = 0 ORDER BY "
    "服务预约.预约日期 ASC";

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    schema::CreateEmptyStoreDatabase(folder_.File("HQ"), false);
    folder_.Exec(
        "HQ",
        "INSERT INTO 员工信息(ID,员工编号,员工姓名) VALUES(7,'A03','王');"
        "INSERT INTO 服务预约(ID,顾客姓名,顾客电话,预约员工,预约项目,预约日期,所属分店,"
        "预约状态,预约提醒) VALUES"
        "(11,'后来的','1','A03','修甲','2025-03-09 15:00:00','中心店','预约',0),"
        "(12,'李女士','13800000000','A03','面部护理','2025-03-09 14:30:00','中心店','预约',0),"
        "(13,'无员工',NULL,'Z99','修甲','2025-03-10 09:00:00','中心店','预约',0);");
    connection_.SetCursorLocation(CursorLocation::kUseClient);
    connection_.Open(folder_.ConnString("HQ"));
    recordset_.SetCursorLocation(CursorLocation::kUseClient);
  }

  void OpenReminder() {
    recordset_.Open(kReminderQuery, connection_, CursorType::kKeyset, LockType::kOptimistic);
  }
  void OpenReadOnly(const std::string& sql) {
    recordset_.Open(sql, connection_, CursorType::kKeyset, LockType::kReadOnly);
  }
  std::vector<std::string> Flags() {
    std::vector<std::string> flags;
    for (const auto& row : folder_.Rows("HQ", "select 预约提醒 from 服务预约 order by ID")) {
      flags.push_back(row[0]);
    }
    return flags;
  }

  EngineFolder folder_;
  std::shared_ptr<SessionOptions> options_ = std::make_shared<SessionOptions>();
  Connection connection_{options_};
  Recordset recordset_;
};

TEST_F(RecordsetTest, WalksRowsAndReadsFieldsByPositionAndName) {
  OpenReadOnly("select ID, 顾客姓名 as \"Customer\", 顾客电话 from 服务预约 order by ID");
  EXPECT_EQ(recordset_.State(), ObjectState::kOpen);
  ASSERT_EQ(recordset_.FieldCount(), 3u);
  EXPECT_EQ(recordset_.Item(std::size_t{1}).Name(), "Customer");
  std::vector<std::string> customers;
  while (!recordset_.IsEOF()) {
    customers.push_back(ValueToText(recordset_.Item("customer").GetValue()));
    recordset_.MoveNext();
  }
  EXPECT_EQ(customers, (std::vector<std::string>{"后来的", "李女士", "无员工"}));
  EXPECT_EQ(FailureKind([&] { recordset_.MoveNext(); }), DbError::Kind::kUsage);
  EXPECT_EQ(FailureKind([&] { recordset_.Item(std::size_t{0}).GetValue(); }),
            DbError::Kind::kUsage);
  EXPECT_EQ(FailureKind([&] { recordset_.Item(std::size_t{3}); }), DbError::Kind::kUsage);
  EXPECT_EQ(FailureKind([&] { recordset_.Item("nope"); }), DbError::Kind::kUsage);
}

TEST_F(RecordsetTest, NullComesBackAsNull) {
  OpenReadOnly("select 顾客电话 from 服务预约 where ID = 13");
  EXPECT_TRUE(IsNull(recordset_.Item(std::size_t{0}).GetValue()));
}

TEST_F(RecordsetTest, RowsStayReadableAfterTheConnectionCloses) {
  OpenReadOnly("select 顾客姓名 from 服务预约 order by ID");
  connection_.Close();
  recordset_.MoveNext();
  EXPECT_EQ(recordset_.Item(std::size_t{0}).GetValue(), Value(std::string("李女士")));
}

TEST_F(RecordsetTest, EmptyResultIsAtTheEndAndAClosedOneTooButFailsOtherwise) {
  OpenReadOnly("select ID from 服务预约 where 1 = 0");
  EXPECT_EQ(recordset_.State(), ObjectState::kOpen);
  EXPECT_TRUE(recordset_.IsEOF());
  recordset_.Close();
  EXPECT_EQ(recordset_.State(), ObjectState::kClosed);
  EXPECT_TRUE(recordset_.IsEOF());
  EXPECT_EQ(FailureKind([&] { recordset_.FieldCount(); }), DbError::Kind::kUsage);
  EXPECT_EQ(FailureKind([&] { recordset_.Close(); }), DbError::Kind::kUsage);
  // A statement that returns no rowset leaves it closed.
  OpenReadOnly("update 服务预约 set 预约提醒 = 0 where ID = 0");
  EXPECT_EQ(recordset_.State(), ObjectState::kClosed);
}

TEST_F(RecordsetTest, OneRecordsetServesQueriesInTurn) {
  OpenReadOnly("select count(*) as n from 服务预约");
  EXPECT_EQ(FailureKind([&] { OpenReadOnly("select 1"); }), DbError::Kind::kUsage);
  const Field n = recordset_.Item("n");
  recordset_.Close();
  EXPECT_EQ(FailureKind([&] { n.GetValue(); }), DbError::Kind::kUsage);
  OpenReadOnly("select 员工编号 from 员工信息");
  EXPECT_EQ(recordset_.Item(std::size_t{0}).GetValue(), Value(std::string("A03")));
}

TEST_F(RecordsetTest, FailedOpenLeavesItClosedWithTheEnginesError) {
  try {
    OpenReadOnly("select nope from 服务预约");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.kind(), DbError::Kind::kEngine);
  }
  EXPECT_EQ(recordset_.State(), ObjectState::kClosed);
  Connection closed;
  EXPECT_EQ(FailureKind([&] {
              recordset_.Open("select 1", closed, CursorType::kKeyset, LockType::kReadOnly);
            }),
            DbError::Kind::kUsage);
}

TEST_F(RecordsetTest, WriteBackChangesExactlyTheRowThatWasRead) {
  std::vector<std::pair<StatementKind, std::string>> sent;
  ScopedStatementHook hook(
      options_->statement_hook,
      [&](StatementKind kind, std::string_view text) { sent.emplace_back(kind, text); });
  OpenReminder();
  ASSERT_FALSE(recordset_.IsEOF());
  EXPECT_EQ(recordset_.FieldCount(), 6u);  // the keys fetched alongside stay unseen
  EXPECT_EQ(recordset_.Item(std::size_t{1}).GetValue(), Value(std::string("李女士")));
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  EXPECT_EQ(recordset_.Item(std::size_t{0}).GetValue(), Value(std::int64_t{1}));
  recordset_.Update();

  EXPECT_EQ(Flags(), (std::vector<std::string>{"0", "1", "0"}));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], std::pair(StatementKind::kQuery, std::string(kReminderQuery)));
  EXPECT_EQ(sent[1], std::pair(StatementKind::kUpdate,
                               std::string("UPDATE [服务预约] SET [预约提醒] = ? WHERE [ID] = ? "
                                           "AND [预约提醒] = ?")));
  // Once written, the row holds the new value: updating again starts from it.
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{0});
  recordset_.Update();
  EXPECT_EQ(Flags(), (std::vector<std::string>{"0", "0", "0"}));
}

TEST_F(RecordsetTest, RowChangedMeanwhileIsReportedAndNotOverwritten) {
  OpenReminder();
  folder_.Exec("HQ", "UPDATE 服务预约 SET 预约提醒 = 5 WHERE ID = 12");
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  EXPECT_EQ(FailureKind([&] { recordset_.Update(); }), DbError::Kind::kRowChanged);
  EXPECT_EQ(Flags(), (std::vector<std::string>{"0", "5", "0"}));

  recordset_.Close();
  OpenReadOnly("select 1");  // reuse after a failed write-back
  recordset_.Close();
  OpenReminder();  // now 后来的 (ID 11) is first
  folder_.Exec("HQ", "DELETE FROM 服务预约 WHERE ID = 11");
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  EXPECT_EQ(FailureKind([&] { recordset_.Update(); }), DbError::Kind::kRowChanged);
}

TEST_F(RecordsetTest, NullReadIsMatchedAsNull) {
  std::vector<std::string> updates;
  ScopedStatementHook hook(options_->statement_hook,
                           [&](StatementKind kind, std::string_view text) {
                             if (kind == StatementKind::kUpdate) updates.emplace_back(text);
                           });
  recordset_.Open("select 顾客电话 from 服务预约 where ID = 13", connection_, CursorType::kKeyset,
                  LockType::kOptimistic);
  recordset_.Item(std::size_t{0}).SetValue(std::string("139"));
  recordset_.Update();
  EXPECT_EQ(folder_.Rows("HQ", "select 顾客电话 from 服务预约 where ID = 13"), (Rows{{"139"}}));
  EXPECT_EQ(updates,
            (std::vector<std::string>{
                "UPDATE [服务预约] SET [顾客电话] = ? WHERE [ID] = ? AND [顾客电话] IS NULL"}));
}

TEST_F(RecordsetTest, AliasedTablesAndTablesWithoutADeclaredKeyWriteBackToo) {
  recordset_.Open("select a.预约提醒 as flag from 服务预约 AS a where a.ID = 11", connection_,
                  CursorType::kKeyset, LockType::kOptimistic);
  recordset_.Item("FLAG").SetValue(std::int64_t{1});
  recordset_.Update();
  EXPECT_EQ(Flags(), (std::vector<std::string>{"1", "0", "0"}));
  recordset_.Close();

  folder_.Exec("HQ", "CREATE TABLE heap(a TEXT); INSERT INTO heap VALUES('x'),('y')");
  recordset_.Open("select a from heap where a = 'y'", connection_, CursorType::kKeyset,
                  LockType::kPessimistic);
  recordset_.Item(std::size_t{0}).SetValue(std::string("z"));
  recordset_.Update();
  EXPECT_EQ(folder_.Rows("HQ", "select a from heap order by rowid"), (Rows{{"x"}, {"z"}}));
}

TEST_F(RecordsetTest, FieldsWithoutAKeyedRowBehindThemCannotBeWrittenBack) {
  folder_.Exec("HQ", "CREATE VIEW v AS SELECT ID, 预约提醒 FROM 服务预约");
  const std::vector<std::string> queries = {
      "select 预约提醒 + 0 as x from 服务预约",                               // expression
      "select 预约提醒 from v",                                               // view
      "select max(预约提醒) as m, 所属分店 from 服务预约 group by 所属分店",  // grouped
      "select a.预约提醒 from 服务预约 a join 服务预约 b on a.ID = b.ID",     // self-join
  };
  for (const std::string& sql : queries) {
    recordset_.Open(sql, connection_, CursorType::kKeyset, LockType::kOptimistic);
    recordset_.Item(std::size_t{0}).SetValue(std::int64_t{9});
    EXPECT_EQ(FailureKind([&] { recordset_.Update(); }), DbError::Kind::kUsage) << sql;
    recordset_.Close();
  }
  // The staff row of appointment 13 does not exist: nothing to write to.
  recordset_.Open(
      "select 员工信息.员工姓名 from 服务预约 LEFT JOIN 员工信息 ON 服务预约.预约员工 = "
      "员工信息.员工编号 where 服务预约.ID = 13",
      connection_, CursorType::kKeyset, LockType::kOptimistic);
  recordset_.Item(std::size_t{0}).SetValue(std::string("x"));
  EXPECT_EQ(FailureKind([&] { recordset_.Update(); }), DbError::Kind::kUsage);
  EXPECT_EQ(Flags(), (std::vector<std::string>{"0", "0", "0"}));
}

TEST_F(RecordsetTest, ReadOnlyRecordsetRefusesChanges) {
  OpenReadOnly(kReminderQuery);
  EXPECT_EQ(FailureKind([&] { recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1}); }),
            DbError::Kind::kUsage);
}

TEST_F(RecordsetTest, MovingOnWritesTheChangeAndClosingDropsIt) {
  recordset_.Open("select 预约提醒 from 服务预约 order by ID", connection_, CursorType::kKeyset,
                  LockType::kOptimistic);
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  recordset_.MoveNext();
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  recordset_.Close();
  EXPECT_EQ(Flags(), (std::vector<std::string>{"1", "0", "0"}));
}

TEST_F(RecordsetTest, WriteBackNeedsTheConnectionOpen) {
  OpenReminder();
  connection_.Close();
  recordset_.Item(std::size_t{0}).SetValue(std::int64_t{1});
  EXPECT_EQ(FailureKind([&] { recordset_.Update(); }), DbError::Kind::kUsage);
  EXPECT_EQ(Flags(), (std::vector<std::string>{"0", "0", "0"}));
}

}  // namespace
}  // namespace rilo::db
