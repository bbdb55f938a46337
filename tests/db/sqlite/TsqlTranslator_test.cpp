#include "db/sqlite/TsqlTranslator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/DbError.h"

namespace rilo::db::sqlite {
namespace {

// Four-part names resolve to link."table" and are recorded.
struct Translation {
  std::vector<LinkedTableName> linked;

  std::vector<TranslatedStatement> All(std::string_view tsql) {
    return TranslateTsql(tsql, [this](const LinkedTableName& name) {
      linked.push_back(name);
      return "link.\"" + name.table + "\"";
    });
  }

  std::string Text(std::string_view tsql) {
    const auto statements = All(tsql);
    if (statements.size() != 1 || !std::holds_alternative<SqliteText>(statements[0])) {
      ADD_FAILURE() << "not one SQLite text: " << tsql;
      return {};
    }
    return std::get<SqliteText>(statements[0]).sql;
  }
};

std::string Sqlite(std::string_view tsql) { return Translation{}.Text(tsql); }

long FailureNumber(std::string_view tsql) {
  try {
    Translation{}.All(tsql);
  } catch (const DbError& e) {
    return e.native_code();
  }
  return 0;
}

TEST(TsqlTranslator, DateStyle23BecomesTheIndexableSubstr) {
  EXPECT_EQ(Sqlite("select 1 from t Where CONVERT(varchar(100), 消费日期, 23) = '2026-03-08'"),
            "select 1 from t Where substr(消费日期,1,10) = '2026-03-08'");
  EXPECT_EQ(Sqlite("select convert(NVARCHAR(max),服务预约.[预约日期],23)"),
            "select substr(服务预约.\"预约日期\",1,10)");
  // A shorter target truncates, as SQL Server does.
  EXPECT_EQ(Sqlite("select CONVERT(varchar(7), d, 23)"), "select substr(d,1,7)");
}

TEST(TsqlTranslator, DateComparisonAlsoBoundsTheColumnWhereNothingBindsTighter) {
  EXPECT_EQ(Sqlite("select 1 from t Where CONVERT(varchar(100), t.d, 23) >= '2026-03-08' and "
                   "s = 'x' ORDER BY t.d"),
            "select 1 from t Where (t.d >= '2026-03-08' COLLATE BINARY AND substr(t.d,1,10) >= "
            "'2026-03-08') and s = 'x' ORDER BY t.d");
  EXPECT_EQ(Sqlite("select 1 from t where (convert(varchar(10), d, 23) <= N'2026-03-08')"),
            "select 1 from t where ((d < '2026-03-09' COLLATE BINARY AND substr(d,1,10) <= "
            "'2026-03-08'))");
  // Left alone: equality (an index on the date text serves it), a tighter operator on either
  // side, an expression rather than a column, a literal longer than the text for "<".
  for (const char* kept :
       {"select 1 from t where CONVERT(varchar(100), d, 23) = '2026-03-08'",
        "select 1 from t where CONVERT(varchar(100), d, 23) >= '2026' || '-03'",
        "select 1 from t where 'x' || CONVERT(varchar(100), d, 23) >= 'x2026'",
        "select 1 from t where CONVERT(varchar(100), d || '', 23) >= '2026-03-08'",
        "select 1 from t where CONVERT(varchar(100), d, 23) < '2026-03-08 10:00'",
        "select CONVERT(varchar(100), d, 23) >= '2026-03-08' from t"}) {
    EXPECT_EQ(Sqlite(kept).find("COLLATE BINARY"), std::string::npos) << kept;
  }
}

TEST(TsqlTranslator, OtherConvertFormsTranslateOrPassToSqlite) {
  EXPECT_EQ(Sqlite("select CONVERT(varchar(100), d, 120)"),
            "select strftime('%Y-%m-%d %H:%M:%S',d)");
  EXPECT_EQ(Sqlite("select CONVERT(varchar(16), d, 120)"),
            "select substr(strftime('%Y-%m-%d %H:%M:%S',d),1,16)");
  EXPECT_EQ(Sqlite("select CONVERT(varchar(30), d, 121)"),
            "select strftime('%Y-%m-%d %H:%M:%f',d)");
  EXPECT_EQ(Sqlite("select CONVERT(int, '12')"), "select CAST('12' AS int)");
  // No equivalent: SQLite reports the unknown function itself.
  EXPECT_EQ(Sqlite("select CONVERT(varchar(10), d, 104)"), "select CONVERT(varchar(10), d, 104)");
}

TEST(TsqlTranslator, TopBecomesLimitAtTheEndOfItsSelect) {
  EXPECT_EQ(Sqlite("Select Top 1 a,b From t Where x = 0 ORDER BY t.d ASC"),
            "Select a,b From t Where x = 0 ORDER BY t.d ASC LIMIT 1");
  EXPECT_EQ(Sqlite("SELECT DISTINCT TOP (5) a FROM t -- first five\n"),
            "SELECT DISTINCT a FROM t LIMIT 5 -- first five\n");
  EXPECT_EQ(Sqlite("select a from t where a in (select top 2 b from u order by b)"),
            "select a from t where a in (select b from u order by b LIMIT 2)");
  EXPECT_EQ(Sqlite("insert into t(a) select TOP 3 a from u"),
            "insert into t(a) select a from u LIMIT 3");
}

TEST(TsqlTranslator, TopThatLimitCannotExpressIsLeftAlone) {
  EXPECT_EQ(Sqlite("select top 10 percent a from t"), "select top 10 percent a from t");
  EXPECT_EQ(Sqlite("select top from t"), "select top from t");  // a column named top
  EXPECT_EQ(Sqlite("select top 1 a from t union select b from u"),
            "select top 1 a from t union select b from u");
}

TEST(TsqlTranslator, BracketedNamesBecomeQuotedNamesAndQuotedAliasesStay) {
  EXPECT_EQ(Sqlite("Select 服务类别 From [服务类别] ORDER BY ID ASC"),
            "Select 服务类别 From \"服务类别\" ORDER BY ID ASC");
  EXPECT_EQ(Sqlite("select [a]]b], [say \"hi\"] as \"Body care\""),
            "select \"a]b\", \"say \"\"hi\"\"\" as \"Body care\"");
}

TEST(TsqlTranslator, EmptyAliasFailsAsOnSqlServer) {
  EXPECT_EQ(FailureNumber("select sum(x) as \"\" from t"), 1038);
  EXPECT_EQ(FailureNumber("select sum(x) as [] from t"), 1038);
}

TEST(TsqlTranslator, LiteralsAndCommentsAreNeverTranslated) {
  const std::string literal =
      "select 'Select Top 1 CONVERT(varchar(100), x, 23) [x] ITSV.HQ.dbo.t' -- Top 1 [y] "
      "ITSV.a.b.c\n/* CONVERT( [z] */";
  Translation translation;
  EXPECT_EQ(translation.Text(literal), literal);
  EXPECT_TRUE(translation.linked.empty());
}

TEST(TsqlTranslator, UnicodeLiteralLosesItsPrefixOnly) {
  EXPECT_EQ(Sqlite("select N'中心店', n'it''s'"), "select '中心店', 'it''s'");
}

TEST(TsqlTranslator, FourPartNamesResolveThroughTheLink) {
  Translation translation;
  EXPECT_EQ(translation.Text(" insert into 产品类别(ID,产品类别) select ID,产品类别 from "
                             "ITSV.HQData.dbo.产品类别"),
            " insert into 产品类别(ID,产品类别) select ID,产品类别 from link.\"产品类别\"");
  ASSERT_EQ(translation.linked.size(), 1u);
  EXPECT_EQ(translation.linked[0].server, "ITSV");
  EXPECT_EQ(translation.linked[0].database, "HQData");
  EXPECT_EQ(translation.linked[0].schema, "dbo");
  EXPECT_EQ(translation.linked[0].table, "产品类别");

  translation.linked.clear();
  translation.Text("select * from [ITSV].\"Head Office\"..[a]]b] where x.y = 1 and a.b.c = 2");
  ASSERT_EQ(translation.linked.size(), 1u);
  EXPECT_EQ(translation.linked[0].database, "Head Office");
  EXPECT_EQ(translation.linked[0].schema, "");
  EXPECT_EQ(translation.linked[0].table, "a]b");
}

TEST(TsqlTranslator, IdentityInsertIsCarriedOutByTheEngine) {
  Translation translation;
  auto statements = translation.All("SET IDENTITY_INSERT 产品类别 ON");
  ASSERT_EQ(statements.size(), 1u);
  auto identity = std::get<IdentityInsert>(statements[0]);
  EXPECT_EQ(identity.table, "产品类别");
  EXPECT_TRUE(identity.on);

  identity = std::get<IdentityInsert>(translation.All("set identity_insert dbo.[常用短信] off")[0]);
  EXPECT_EQ(identity.table, "常用短信");
  EXPECT_FALSE(identity.on);
  EXPECT_EQ(FailureNumber("SET IDENTITY_INSERT t maybe ON"), 102);
}

TEST(TsqlTranslator, ExecArgumentsAreReadWithTheTokenizer) {
  Translation translation;
  auto call = std::get<ProcedureCall>(
      translation.All("exec sp_addlinkedsrvlogin 'ITSV' , 'false' , null , 'O''Brien' , ''")[0]);
  EXPECT_EQ(call.procedure, "sp_addlinkedsrvlogin");
  ASSERT_EQ(call.arguments.size(), 5u);
  EXPECT_EQ(call.arguments[0].value, "ITSV");
  EXPECT_EQ(call.arguments[1].value, "false");
  EXPECT_EQ(call.arguments[2].value, std::nullopt);
  EXPECT_EQ(call.arguments[3].value, "O'Brien");
  EXPECT_EQ(call.arguments[4].value, "");

  call = std::get<ProcedureCall>(translation.All(
      "EXECUTE master.dbo.SP_DROPSERVER @server=N'ITSV',@droplogins='droplogins'")[0]);
  EXPECT_EQ(call.procedure, "SP_DROPSERVER");
  EXPECT_EQ(call.arguments[0].parameter, "@server");
  EXPECT_EQ(call.arguments[1].value, "droplogins");

  EXPECT_EQ(FailureNumber("exec sp_dropserver 'ITSV' 'x'"), 102);
  EXPECT_EQ(FailureNumber("exec sp_dropserver 'ITSV' ,"), 102);
}

TEST(TsqlTranslator, StatementsSplitOnlyAroundWhatTheEngineCarriesOut) {
  Translation translation;
  const auto statements = translation.All(
      "CREATE TRIGGER tr AFTER INSERT ON t BEGIN UPDATE t SET a = 1; END; "
      "SET IDENTITY_INSERT t ON; select [x]; ;");
  ASSERT_EQ(statements.size(), 3u);
  EXPECT_EQ(std::get<SqliteText>(statements[0]).sql,
            "CREATE TRIGGER tr AFTER INSERT ON t BEGIN UPDATE t SET a = 1; END");
  EXPECT_TRUE(std::holds_alternative<IdentityInsert>(statements[1]));
  EXPECT_EQ(std::get<SqliteText>(statements[2]).sql, " select \"x\"; ;");
  EXPECT_TRUE(translation.All("  -- nothing\n").empty());
}

}  // namespace
}  // namespace rilo::db::sqlite
