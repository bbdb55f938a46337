#include "tds/TdsSqlText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tds/TdsTempTables.h"

namespace rilo::tds {
namespace {

using db::Null;
using db::Value;

TEST(TdsSqlText, NamedMarkersBecomePositionalInTextOrder) {
  const std::vector<RpcParameter> values = {{"@P1", false, std::int64_t{1}},
                                            {"@P2", false, std::string("x")}};
  const PositionalStatement statement =
      ToPositional("UPDATE t SET a = @P2 WHERE id = @P1", "@P1 bigint,@P2 nvarchar(4000)", values);
  EXPECT_EQ(statement.sql, "UPDATE t SET a = ? WHERE id = ?");
  EXPECT_EQ(statement.values, (std::vector<Value>{std::string("x"), std::int64_t{1}}));
}

TEST(TdsSqlText, MarkersInsideLiteralsNamesAndCommentsStay) {
  const std::vector<RpcParameter> values = {{"@P1", false, std::int64_t{7}}};
  const PositionalStatement statement = ToPositional(
      "SELECT '@P1', [@P1], \"@P1\" -- @P1\n FROM t WHERE a = @P1 /* @P1 */", "@P1 int", values);
  EXPECT_EQ(statement.sql, "SELECT '@P1', [@P1], \"@P1\" -- @P1\n FROM t WHERE a = ? /* @P1 */");
  EXPECT_EQ(statement.values, std::vector<Value>{std::int64_t{7}});
}

TEST(TdsSqlText, UndeclaredAndLongerNamesAreNotMarkers) {
  const std::vector<RpcParameter> values = {{"", false, std::int64_t{1}}};
  const PositionalStatement statement =
      ToPositional("SELECT @P10, @@ROWCOUNT, @P1", "@P1 int", values);
  EXPECT_EQ(statement.sql, "SELECT @P10, @@ROWCOUNT, ?");
  EXPECT_EQ(statement.values, std::vector<Value>{std::int64_t{1}});
}

TEST(TdsSqlText, InlinedValuesAreLiteralsThatCannotEndTheString) {
  const std::vector<Value> values = {std::string("O'Brien'; DROP TABLE t --"), Null{},
                                     db::Decimal{"-1.50"}, std::int64_t{-3}};
  EXPECT_EQ(InlineValues("SELECT ?, '?', ?, ?, ?", values),
            "SELECT N'O''Brien''; DROP TABLE t --', '?', NULL, -1.50, -3");
}

TEST(TdsSqlText, UseNamesTheDatabaseWithOrWithoutBrackets) {
  EXPECT_EQ(UsedDatabase("USE [门店 一]"), "门店 一");
  EXPECT_EQ(UsedDatabase("  use HQ;"), "HQ");
  EXPECT_FALSE(UsedDatabase("USE HQ; SELECT 1"));
  EXPECT_FALSE(UsedDatabase("SELECT 'USE HQ'"));
}

TEST(TdsSqlText, SeveralStatementsOnlyWhenTextFollowsASeparator) {
  EXPECT_FALSE(HasSeveralStatements("SELECT 1;  \n"));
  EXPECT_FALSE(HasSeveralStatements("SELECT ';x' -- ; y"));
  EXPECT_TRUE(HasSeveralStatements("DELETE FROM t; SELECT 1"));
}

TEST(TdsSqlText, LinkToOwnAddressReachesOwnFolderOnly) {
  EXPECT_EQ(LinkToSelf("exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '127.0.0.1,5000'",
                       "127.0.0.1,5000", "sqlite:/d/o'k"),
            "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , 'sqlite:/d/o''k'");
  const std::string other = "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '10.0.0.2'";
  EXPECT_EQ(LinkToSelf(other, "127.0.0.1,5000", "sqlite:/d"), other);
  const std::string not_a_link = "SELECT '127.0.0.1,5000'";
  EXPECT_EQ(LinkToSelf(not_a_link, "127.0.0.1,5000", "sqlite:/d"), not_a_link);
}

TEST(TdsTempTables, DropIfPresentSelectIntoAndUsesBecomeTheTempSchema) {
  EXPECT_EQ(RewriteTempTables("IF OBJECT_ID('tempdb..#产品') IS NOT NULL DROP TABLE #产品"),
            "DROP TABLE IF EXISTS temp.[#产品]");
  EXPECT_EQ(RewriteTempTables("select ID,名称 into #产品 from ITSV.HQ.dbo.产品 where a = '#x'"),
            "CREATE TABLE temp.[#产品] AS SELECT ID,名称 FROM ITSV.HQ.dbo.产品 where a = '#x'");
  EXPECT_EQ(RewriteTempTables(" insert into 产品(ID) select ID from #产品"),
            " insert into 产品(ID) select ID from temp.[#产品]");
  EXPECT_EQ(RewriteTempTables("SELECT '#not' FROM t"), "SELECT '#not' FROM t");
}

}  // namespace
}  // namespace rilo::tds
