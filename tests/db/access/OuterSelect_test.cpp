#include "db/sql/OuterSelect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/sql/Tokenizer.h"

namespace rilo::db::sql {
namespace {

OuterSelect Read(std::string_view sql, Tokens& tokens) {
  tokens = Tokenize(sql);
  const auto select = ReadOuterSelect(tokens);
  if (!select) {
    ADD_FAILURE() << "no select: " << sql;
    return {};
  }
  return *select;
}

std::vector<std::pair<std::string, std::string>> Tables(const OuterSelect& select) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& t : select.tables) out.emplace_back(t.table, t.qualifier);
  return out;
}

TEST(OuterSelect, FindsTheTablesOfJoinsWithTheirQualifiers) {
  Tokens tokens;
  const OuterSelect select = Read(
      "Select Top 1 a.x From 服务预约 LEFT JOIN 员工信息 ON 服务预约.预约员工 = 员工信息.员工编号 "
      "Where 服务预约.所属分店 = 'x' ORDER BY 服务预约.预约日期 ASC",
      tokens);
  EXPECT_EQ(Tables(select), (std::vector<std::pair<std::string, std::string>>{
                                {"服务预约", "服务预约"}, {"员工信息", "员工信息"}}));
  EXPECT_TRUE(tokens[select.from].IsKeyword("from"));
  EXPECT_FALSE(select.aggregates_rows);
}

TEST(OuterSelect, AliasesQuotedNamesCommaJoinsAndSubqueries) {
  Tokens tokens;
  const OuterSelect select = Read(
      "select * from dbo.[服务预约] AS a inner join 员工信息 e on a.k = e.k, t3 cross join "
      "(select 1 from t4) s where a.x in (select y from t5)",
      tokens);
  EXPECT_EQ(Tables(select), (std::vector<std::pair<std::string, std::string>>{
                                {"服务预约", "a"}, {"员工信息", "e"}, {"t3", "t3"}}));
}

TEST(OuterSelect, RowsThatAreNotTableRowsAreFlagged) {
  Tokens tokens;
  EXPECT_TRUE(Read("select distinct a from t", tokens).aggregates_rows);
  EXPECT_TRUE(Read("select a, count(*) from t group by a", tokens).aggregates_rows);
  EXPECT_TRUE(Read("select a from t union select b from u", tokens).aggregates_rows);
  EXPECT_FALSE(
      Read("select a from t where b in (select c from u group by c)", tokens).aggregates_rows);
}

TEST(OuterSelect, OnlyASingleSelectHasAShape) {
  for (const char* sql :
       {"update t set a = 1", "with c as (select 1) select * from c", "select 1; select 2"}) {
    EXPECT_FALSE(ReadOuterSelect(Tokenize(sql))) << sql;
  }
  EXPECT_TRUE(ReadOuterSelect(Tokenize("select 1;  -- done")));
}

TEST(OuterSelect, ColumnsAreAddedAtTheEndOfTheOuterSelectList) {
  const std::vector<std::string> keys = {"服务预约.[ID]", "e.[ID]"};
  EXPECT_EQ(AppendToSelectList("Select Top 1 a, (select max(x) from u) as m, 'from' From t "
                               "Where b = 'from'",
                               keys),
            "Select Top 1 a, (select max(x) from u) as m, 'from', 服务预约.[ID], e.[ID] From t "
            "Where b = 'from'");
  EXPECT_EQ(AppendToSelectList("select a /* note */\nfrom t", keys),
            "select a, 服务预约.[ID], e.[ID] /* note */\nfrom t");
  EXPECT_THROW(AppendToSelectList("delete from t", keys), DbError);
}

}  // namespace
}  // namespace rilo::db::sql
