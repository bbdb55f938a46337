#include "db/sqlite/SqliteEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/access/OpenSession.h"
#include "db/sqlite/EmbeddedDataSource.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;

DbError OpenFailure(const std::string& connection_string) {
  try {
    OpenSession(ConnectionString::Parse(connection_string));
  } catch (const DbError& e) {
    return e;
  }
  ADD_FAILURE() << "opened: " << connection_string;
  return DbError(DbError::Kind::kUsage, "opened");
}

TEST(EmbeddedDataSource, OnlyTheSqlitePrefixInAnyCaseSelectsTheEngine) {
  EXPECT_TRUE(IsEmbeddedDataSource("sqlite:/srv/rilo"));
  EXPECT_TRUE(IsEmbeddedDataSource("SQLite:relative/dir"));
  EXPECT_FALSE(IsEmbeddedDataSource("srv01"));
  EXPECT_FALSE(IsEmbeddedDataSource(" sqlite:/srv"));
  EXPECT_FALSE(IsEmbeddedDataSource("sqlit"));
}

TEST(SqliteEngine, MissingDatabaseFailsLikeSqlServerAndIsNotCreated) {
  EngineFolder folder;
  const DbError e = OpenFailure(folder.ConnString("Nowhere"));
  EXPECT_EQ(e.kind(), DbError::Kind::kEngine);
  EXPECT_EQ(e.native_code(), 4060);
  EXPECT_STREQ(e.what(),
               "Cannot open database \"Nowhere\" requested by the login. The login failed.");
  EXPECT_FALSE(std::filesystem::exists(folder.File("Nowhere")));
}

TEST(SqliteEngine, DatabaseNamesCannotLeaveTheFolder) {
  EngineFolder folder;
  std::filesystem::create_directories(folder.dir() / "sub");
  folder.Create("sub/Inner");
  EXPECT_EQ(OpenFailure(folder.ConnString("sub/Inner")).native_code(), 4060);
  EXPECT_EQ(OpenFailure(folder.ConnString("")).native_code(), 4060);
}

TEST(SqliteEngine, MissingFolderFailsAsAnUnreachableServer) {
  EngineFolder folder;
  const DbError e =
      OpenFailure("Data Source=sqlite:" + (folder.dir() / "gone").string() + ";Database=HQ");
  EXPECT_EQ(e.native_code(), 17);
  EXPECT_EQ(OpenFailure("Data Source=sqlite:;Database=HQ").native_code(), 17);
}

TEST(SqliteEngine, AFileThatIsNoDatabaseFailsOnOpen) {
  EngineFolder folder;
  std::ofstream(folder.File("Junk")) << "this is not a database file, just some text....";
  const DbError e = OpenFailure(folder.ConnString("Junk"));
  EXPECT_EQ(e.native_code(), 26);  // SQLITE_NOTADB
}

TEST(SqliteEngine, DatabaseNameIgnoresCaseAndLoginIsIgnored) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE t(a); INSERT INTO t VALUES(7);");
  auto session = OpenSession(ConnectionString::Parse("Data Source=" + folder.DataSource() +
                                                     ";Database=hq;UID=sa;PWD=secret"));
  EXPECT_EQ(session->Query("select a from t").rows.at(0).at(0), Value(std::int64_t{7}));
}

TEST(SqliteEngine, ValuesComeBackTypedByTheirDeclaredColumns) {
  EngineFolder folder;
  folder.Create("HQ",
                "CREATE TABLE v(i INTEGER, r REAL, t TEXT, n TEXT, m DECIMAL(18,2), w MONEY, "
                "d DATETIME, day DATE, bad DATETIME);"
                "INSERT INTO v VALUES(42, 2.5, '中心店', NULL, 1280.5, 300, "
                "'2025-03-09 14:30:00', '2025-03-09', 'soon');");
  auto session = folder.Open("HQ");
  const ResultSet result = session->Query("select * from v");
  ASSERT_EQ(result.rows.size(), 1u);
  const auto& row = result.rows[0];
  EXPECT_EQ(row[0], Value(std::int64_t{42}));
  EXPECT_EQ(row[1], Value(2.5));
  EXPECT_EQ(row[2], Value(std::string("中心店")));
  EXPECT_TRUE(IsNull(row[3]));
  EXPECT_EQ(row[4], Value(Decimal{"1280.5"}));
  EXPECT_EQ(row[5], Value(Decimal{"300"}));
  EXPECT_EQ(row[6], Value(CalendarDateTime{2025, 3, 9, 14, 30, 0, 0}));
  EXPECT_EQ(row[7], Value(CalendarDateTime{2025, 3, 9, 0, 0, 0, 0}));
  EXPECT_EQ(row[8], Value(std::string("soon")));  // text that is no date stays text
  EXPECT_EQ(result.columns[2].name, "t");
  EXPECT_EQ(result.columns[2].base_table, "v");
  EXPECT_EQ(result.columns[2].base_column, "t");

  // Sums over exact columns are SQLite's REAL: plain doubles.
  EXPECT_EQ(session->Query("select sum(m) as s from v").rows.at(0).at(0), Value(1280.5));
}

TEST(SqliteEngine, SqliteErrorsCarryTheExtendedCodeAndMessage) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE t(a INTEGER PRIMARY KEY)");
  auto session = folder.Open("HQ");
  session->Execute("insert into t values(1)");
  try {
    session->Execute("insert into t values(1)");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.kind(), DbError::Kind::kEngine);
    EXPECT_EQ(e.native_code(), 1555);  // SQLITE_CONSTRAINT_PRIMARYKEY
    EXPECT_NE(std::string(e.what()).find("UNIQUE constraint failed"), std::string::npos);
  }
  EXPECT_THROW(session->Query("select nope from t"), DbError);
}

TEST(SqliteEngine, ExecuteRunsEveryStatementAndQueryReturnsTheFirstRowset) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE t(a)");
  auto session = folder.Open("HQ");
  session->Execute("insert into t values(1); insert into t values(2)");
  const ResultSet result = session->Query("insert into t values(3); select count(*) from t");
  EXPECT_EQ(result.rows.at(0).at(0), Value(std::int64_t{3}));
  EXPECT_TRUE(session->Query("delete from t where a = 3").columns.empty());
}

TEST(SqliteEngine, TransactionsCommitAndRollBack) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE t(a)");
  auto session = folder.Open("HQ");
  session->BeginTransaction();
  session->Execute("insert into t values(1)");
  session->Rollback();
  EXPECT_TRUE(folder.Rows("HQ", "select a from t").empty());

  session->BeginTransaction();
  session->Execute("insert into t values(2)");
  session->Commit();
  EXPECT_EQ(folder.Rows("HQ", "select a from t"), (std::vector<std::vector<std::string>>{{"2"}}));
  EXPECT_NO_THROW(session->Rollback());  // nothing to roll back
}

TEST(SqliteEngine, ParametersBindEveryKindOfValue) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE t(i INTEGER, d DATETIME, m DECIMAL(18,2), s TEXT, n TEXT)");
  auto session = folder.Open("HQ");
  const std::vector<Value> values = {std::int64_t{5}, CalendarDateTime{2026, 3, 8, 9, 5, 7, 250},
                                     Decimal{"12.50"}, std::string("it's"), Null{}};
  EXPECT_EQ(session->ExecuteWithParams("insert into [t] values(?,?,?,?,?)", values), 1);
  EXPECT_EQ(folder.Rows("HQ", "select i, d, m, s, n from t"),
            (std::vector<std::vector<std::string>>{
                {"5", "2026-03-08 09:05:07.250", "12.5", "it's", testing::kNullText}}));
  EXPECT_THROW(session->ExecuteWithParams("update t set i = ?", {}), DbError);
}

TEST(SqliteEngine, PrimaryKeyColumnsNameTheKeyOrTheRowId) {
  EngineFolder folder;
  folder.Create("HQ",
                "CREATE TABLE keyed(ID INTEGER PRIMARY KEY, a); CREATE TABLE pair(x, y, a, "
                "PRIMARY KEY(y, x)); CREATE TABLE heap(a); CREATE VIEW seen AS SELECT a FROM heap");
  auto session = folder.Open("HQ");
  EXPECT_EQ(session->PrimaryKeyColumns("keyed"), std::vector<std::string>{"ID"});
  EXPECT_EQ(session->PrimaryKeyColumns("pair"), (std::vector<std::string>{"y", "x"}));
  EXPECT_EQ(session->PrimaryKeyColumns("heap"), std::vector<std::string>{"rowid"});
  EXPECT_TRUE(session->PrimaryKeyColumns("seen").empty());
  EXPECT_TRUE(session->PrimaryKeyColumns("missing").empty());
}

TEST(SqliteEngine, DescribeNamesBaseTablesWithoutRunningTheQuery) {
  EngineFolder folder;
  folder.Create("HQ", "CREATE TABLE a(ID INTEGER PRIMARY KEY, x); CREATE TABLE b(k, y);");
  auto session = folder.Open("HQ");
  const auto columns =
      session->Describe("Select Top 1 a.x, b.y as why, 1 + 1 From a LEFT JOIN [b] ON a.x = b.k");
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].base_table, "a");
  EXPECT_EQ(columns[1].name, "why");
  EXPECT_EQ(columns[1].base_table, "b");
  EXPECT_EQ(columns[1].base_column, "y");
  EXPECT_EQ(columns[2].base_table, "");
}

}  // namespace
}  // namespace rilo::db

namespace rilo::db {
namespace {

// The date text of CONVERT(..., 23) is compared with a bound on the column added, so that an
// index on the column serves the comparison; the rows must be exactly those of the text
// comparison alone, for odd texts, Null and literals that are no plain date too.
TEST(SqliteEngine, DateTextComparisonsKeepTheirRowsWhenTheColumnIsBoundToo) {
  testing::EngineFolder folder;
  folder.Create("D",
                "CREATE TABLE t(id INTEGER PRIMARY KEY, d DATETIME); CREATE INDEX ix ON t(d);"
                "INSERT INTO t(d) VALUES (NULL), ('2026-03-07 23:59:59'), "
                "('2026-03-08 00:00:00'), ('2026-03-08 10:00:00'), ('2026-03-08'), "
                "('2026-03-09 08:00:00'), ('2026-03'), (''), ('2026-03-08x'), "
                "('二〇二六年三月八日上午十点'), ('2026-03-08''q'), (x'323032362d30332d3039')");
  auto session = folder.Open("D");
  for (const std::string op : {">=", ">", "<", "<="}) {
    for (const std::string literal : {"2026-03-08", "2026-03", "2026-03-08 10:00:00", "",
                                      "2026-03-08''", "2026-03-0~", "二〇二六"}) {
      const std::string condition = op + " '" + literal + "'";
      SCOPED_TRACE(condition);
      std::vector<std::vector<std::string>> got;
      for (const auto& row :
           session->Query("SELECT id FROM t WHERE CONVERT(varchar(100), d, 23) " + condition +
                          " ORDER BY id")
               .rows) {
        got.push_back({ValueToText(row.at(0))});
      }
      EXPECT_EQ(got, folder.Rows("D", "SELECT id FROM t WHERE substr(d,1,10) " + condition +
                                          " ORDER BY id"));
    }
  }
}

}  // namespace
}  // namespace rilo::db
