#include "db/access/Connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/access/Recordset.h"
#include "db/access/SessionOptions.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;
using Rows = std::vector<std::vector<std::string>>;

// Records what the layer sends on connections made with `options`; fails the statement
// numbered `fail_at` (1-based), if any.
struct Recorder {
  explicit Recorder(int failing = 0)
      : fail_at(failing),
        hook(options->statement_hook, [this](StatementKind kind, std::string_view text) {
          sent.emplace_back(kind, std::string(text));
          if (static_cast<int>(sent.size()) == fail_at) {
            throw DbError(DbError::Kind::kEngine, "injected", "HY000", 50000);
          }
        }) {}
  std::shared_ptr<SessionOptions> options = std::make_shared<SessionOptions>();
  int fail_at;
  std::vector<std::pair<StatementKind, std::string>> sent;
  ScopedStatementHook hook;
};

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Create("Store", "CREATE TABLE t(ID INTEGER PRIMARY KEY, a)"); }
  EngineFolder folder_;
};

TEST_F(ConnectionTest, StateFollowsOpenAndClose) {
  Connection connection;
  connection.SetCursorLocation(CursorLocation::kUseClient);
  EXPECT_EQ(connection.GetCursorLocation(), CursorLocation::kUseClient);
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
  connection.Open(folder_.ConnString("Store"), "", "", kOptionUnspecified);
  EXPECT_EQ(connection.State(), ObjectState::kOpen);
  connection.Execute("insert into t(a) values('x')");
  connection.Close();
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
  EXPECT_EQ(folder_.Rows("Store", "select a from t"), (Rows{{"x"}}));
}

TEST_F(ConnectionTest, MisuseFailsAsUsageErrors) {
  Connection connection;
  for (auto call : {+[](Connection& c) { c.Close(); }, +[](Connection& c) { c.Execute("x"); },
                    +[](Connection& c) { c.BeginTrans(); }}) {
    try {
      call(connection);
      ADD_FAILURE();
    } catch (const DbError& e) {
      EXPECT_EQ(e.kind(), DbError::Kind::kUsage);
    }
  }
  connection.Open(folder_.ConnString("Store"));
  EXPECT_THROW(connection.Open(folder_.ConnString("Store")), DbError);
  EXPECT_EQ(connection.State(), ObjectState::kOpen);
}

TEST_F(ConnectionTest, FailedOpenLeavesItClosedWithTheEnginesError) {
  Connection connection;
  try {
    connection.Open(folder_.ConnString("Nowhere"));
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.native_code(), 4060);
  }
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
  EXPECT_THROW(connection.Open("Data Source=\"unterminated"), DbError);
}

TEST_F(ConnectionTest, EngineFailuresPassThroughAndTheConnectionStaysOpen) {
  Connection connection;
  connection.Open(folder_.ConnString("Store"));
  try {
    connection.Execute("SET IDENTITY_INSERT missing ON");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.kind(), DbError::Kind::kEngine);
    EXPECT_EQ(e.native_code(), 208);
  }
  EXPECT_EQ(connection.State(), ObjectState::kOpen);
}

TEST_F(ConnectionTest, HookSeesEveryStatementExactlyAndTheOpenStringRedacted) {
  Recorder recorder;
  Connection connection(recorder.options);
  const std::string with_password =
      "Data Source=" + folder_.DataSource() + ";Database=Store;UID=clerk;PWD=s3cret";
  connection.Open(with_password);
  connection.Execute(" insert into t(a) values('||') ");
  ASSERT_EQ(recorder.sent.size(), 2u);
  EXPECT_EQ(recorder.sent[0].first, StatementKind::kOpen);
  EXPECT_EQ(recorder.sent[0].second.find("s3cret"), std::string::npos);
  EXPECT_NE(recorder.sent[0].second.find("Database=Store"), std::string::npos);
  EXPECT_EQ(recorder.sent[1],
            std::pair(StatementKind::kExecute, std::string(" insert into t(a) values('||') ")));
  EXPECT_EQ(connection.redacted_connection_string(), recorder.sent[0].second);
}

TEST_F(ConnectionTest, HookCanFailStatementNAndNothingIsSent) {
  Recorder recorder(3);
  Connection connection(recorder.options);
  connection.Open(folder_.ConnString("Store"));
  connection.Execute("insert into t(a) values(1)");
  EXPECT_THROW(connection.Execute("insert into t(a) values(2)"), DbError);
  connection.Execute("insert into t(a) values(3)");
  EXPECT_EQ(folder_.Rows("Store", "select a from t order by a"), (Rows{{"1"}, {"3"}}));
}

TEST_F(ConnectionTest, HookFailingTheOpenLeavesItClosed) {
  Recorder recorder(1);
  Connection connection(recorder.options);
  EXPECT_THROW(connection.Open(folder_.ConnString("Store")), DbError);
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
}

TEST_F(ConnectionTest, UserAndPasswordArgumentsStandInForTheStringsLogin) {
  Recorder recorder;
  Connection connection(recorder.options);
  connection.Open(folder_.ConnString("Store"), "clerk", "pa;ss");
  EXPECT_NE(recorder.sent[0].second.find("UID=clerk"), std::string::npos);
  EXPECT_EQ(recorder.sent[0].second.find("pa;ss"), std::string::npos);
}

TEST_F(ConnectionTest, ArgumentsTheLayerCannotHonourAreRefusedAndNothingIsSent) {
  Connection connection;
  EXPECT_THROW(connection.Open(folder_.ConnString("Store"), "", "", 16), DbError);
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
  connection.Open(folder_.ConnString("Store"));
  EXPECT_THROW(connection.Execute("insert into t(a) values('async')", 16), DbError);
  Recordset recordset;
  // Server-side is the default, as in ADO; the recordset's own setting comes before the
  // connection's.
  EXPECT_THROW(
      recordset.Open("select a from t", connection, CursorType::kKeyset, LockType::kReadOnly),
      DbError);
  connection.SetCursorLocation(CursorLocation::kUseClient);
  recordset.SetCursorLocation(CursorLocation::kUseServer);
  EXPECT_THROW(
      recordset.Open("select a from t", connection, CursorType::kKeyset, LockType::kReadOnly),
      DbError);
  recordset.SetCursorLocation(CursorLocation::kUseClient);
  EXPECT_THROW(
      recordset.Open("select a from t", connection, CursorType::kDynamic, LockType::kReadOnly),
      DbError);
  EXPECT_EQ(recordset.State(), ObjectState::kClosed);
  recordset.Open("select a from t", connection, CursorType::kKeyset, LockType::kReadOnly);
  EXPECT_EQ(recordset.State(), ObjectState::kOpen);
  EXPECT_EQ(folder_.Rows("Store", "select a from t"), Rows{});
}

TEST_F(ConnectionTest, TransactionsCommitOrRollBackAndClosingRollsBack) {
  Connection connection;
  connection.Open(folder_.ConnString("Store"));
  connection.BeginTrans();
  connection.Execute("insert into t(a) values('rolled back')");
  connection.RollbackTrans();
  connection.BeginTrans();
  connection.Execute("insert into t(a) values('kept')");
  connection.CommitTrans();
  connection.BeginTrans();
  connection.Execute("insert into t(a) values('lost with the connection')");
  connection.Close();
  EXPECT_EQ(folder_.Rows("Store", "select a from t"), (Rows{{"kept"}}));
}

TEST(StatementHook, ScopesNestAndRestoreTheOuterHook) {
  SessionOptions options;
  std::vector<std::string> outer;
  std::vector<std::string> inner;
  {
    ScopedStatementHook a(options.statement_hook,
                          [&](StatementKind, std::string_view text) { outer.emplace_back(text); });
    NotifyStatement(&options, StatementKind::kQuery, "one");
    {
      ScopedStatementHook b(options.statement_hook, [&](StatementKind, std::string_view text) {
        inner.emplace_back(text);
      });
      NotifyStatement(&options, StatementKind::kQuery, "two");
    }
    NotifyStatement(&options, StatementKind::kQuery, "three");
  }
  NotifyStatement(&options, StatementKind::kQuery, "unseen");
  EXPECT_EQ(outer, (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(inner, (std::vector<std::string>{"two"}));
}

}  // namespace
}  // namespace rilo::db
