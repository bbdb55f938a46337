#include "refresh/RefreshBatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refresh/ExpectedStatements.h"
#include "refresh/RefreshPlan.h"

namespace rilo::refresh {
namespace {

std::size_t CountOf(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

TEST(RefreshBatch, HoldsTheSeventySixStatementsInBothOrders) {
  const auto batch = BuildRefreshBatch("HQData", "中心店");
  EXPECT_EQ(batch, testing::ExpectedBatch("HQData", "中心店"));
  ASSERT_EQ(batch.size(), 76u);
  EXPECT_EQ(batch[0], "DELETE FROM 产品类别");
  EXPECT_EQ(batch[18], "DELETE FROM 常用短信");
  EXPECT_EQ(batch[19], "SET IDENTITY_INSERT 产品类别 ON");
  // Group k (1-based, copy order) holds statements 17+3k .. 19+3k.
  EXPECT_EQ(batch[17 + 3 * 5 - 1], "SET IDENTITY_INSERT 产品信息 ON");
  EXPECT_EQ(batch[19 + 3 * 19 - 1], "SET IDENTITY_INSERT 常用短信 off");
}

TEST(RefreshBatch, JoinedTextReadsAsTheWorkedExample) {
  const auto text = JoinStatements(BuildRefreshBatch("HQData", "中心店"));
  EXPECT_NE(text.find("||DELETE FROM 常用短信||SET IDENTITY_INSERT 产品类别 ON|| insert into "
                      "产品类别(ID,产品类别) select ID,产品类别 from ITSV.HQData.dbo.产品类别||SET "
                      "IDENTITY_INSERT 产品类别 off||SET IDENTITY_INSERT 服务类别 ON||"),
            std::string::npos);
  EXPECT_NE(text.find("from ITSV.HQData.dbo.产品信息 Where 所属分店='全部分店' or 所属分店 = "
                      "'中心店'||SET IDENTITY_INSERT 产品信息 off"),
            std::string::npos);
  const std::string end = "||SET IDENTITY_INSERT 常用短信 off";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  EXPECT_EQ(text.substr(0, 2), "DE");
  EXPECT_EQ(CountOf(text, "||"), 75u);
}

TEST(RefreshBatch, OnlyTheTwoStoreTablesAreFiltered) {
  const auto batch = BuildRefreshBatch("HQData", "中心店");
  std::vector<std::size_t> filtered;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    if (batch[i].find(" Where ") != std::string::npos) filtered.push_back(i + 1);
  }
  EXPECT_EQ(filtered, (std::vector<std::size_t>{33, 36}));
  EXPECT_EQ(batch[35],
            " insert into 服务信息(" + std::string(testing::kCopyGroups[5].columns) + ") select " +
                std::string(testing::kCopyGroups[5].columns) +
                " from ITSV.HQData.dbo.服务信息 Where 所属分店='全部分店' or 所属分店 = '中心店'");
}

TEST(RefreshBatch, EmptyStoreNameLeavesAnEmptyLiteral) {
  const auto batch = BuildRefreshBatch("HQData", "");
  EXPECT_TRUE(batch[32].ends_with("Where 所属分店='全部分店' or 所属分店 = ''"));
}

TEST(RefreshBatch, StoreNameWithBlanksIsInsertedWithThem) {
  const auto batch = BuildRefreshBatch("HQData", "中心 店 2");
  EXPECT_TRUE(batch[32].ends_with("所属分店 = '中心 店 2'"));
}

TEST(RefreshBatch, ApostropheInStoreNameStaysInsideItsLiteral) {
  const auto batch = BuildRefreshBatch("HQData", "O'Brien's");
  EXPECT_EQ(batch, testing::ExpectedBatch("HQData", "O''Brien''s"));
  EXPECT_TRUE(batch[35].ends_with("所属分店 = 'O''Brien''s'"));
}

TEST(RefreshBatch, SeparatorInStoreNameDoesNotSplitAStatement) {
  const auto batch = BuildRefreshBatch("HQData", "A||DROP TABLE 产品信息");
  ASSERT_EQ(batch.size(), 76u);
  EXPECT_TRUE(batch[32].ends_with("所属分店 = 'A||DROP TABLE 产品信息'"));
  EXPECT_EQ(batch[33], "SET IDENTITY_INSERT 产品信息 off");
}

TEST(RefreshBatch, DatabaseNameThatIsNoPlainIdentifierIsBracketed) {
  EXPECT_EQ(DatabasePart("HQData"), "HQData");
  EXPECT_EQ(DatabasePart("总部库"), "总部库");
  EXPECT_EQ(DatabasePart(""), "");
  EXPECT_EQ(DatabasePart("HQ Data"), "[HQ Data]");
  EXPECT_EQ(DatabasePart("a]b"), "[a]]b]");
  EXPECT_EQ(DatabasePart("HQ.dbo.x;--"), "[HQ.dbo.x;--]");
  EXPECT_EQ(DatabasePart("x'y"), "[x'y]");

  const auto batch = BuildRefreshBatch("a]b", "中心店");
  EXPECT_EQ(batch, testing::ExpectedBatch("[a]]b]", "中心店"));
}

TEST(RefreshPlan, EmbeddedPlanRunsTheBatchAsItStandsInOneTransaction) {
  const auto plan = BuildEmbeddedPlan("HQData", "中心店");
  EXPECT_TRUE(plan.staging.empty());
  EXPECT_EQ(plan.transaction, testing::ExpectedBatch("HQData", "中心店"));
}

TEST(RefreshPlan, SqlServerPlanReadsThroughTheLinkBeforeItsTransaction) {
  const auto plan = BuildSqlServerPlan("HQ Data", "O'Brien");
  const auto batch = testing::ExpectedBatch("[HQ Data]", "O''Brien");

  ASSERT_EQ(plan.staging.size(), 38u);
  for (std::size_t k = 0; k < 19; ++k) {
    const auto& g = testing::kCopyGroups[k];
    EXPECT_EQ(plan.staging[2 * k], "IF OBJECT_ID('tempdb..#" + std::string(g.table) +
                                       "') IS NOT NULL DROP TABLE #" + std::string(g.table));
    std::string expected = "select " + std::string(g.columns) + " into #" + std::string(g.table) +
                           " from ITSV.[HQ Data].dbo." + std::string(g.table);
    if (g.filtered) expected += " Where 所属分店='全部分店' or 所属分店 = 'O''Brien'";
    EXPECT_EQ(plan.staging[2 * k + 1], expected);
  }

  // Inside the transaction nothing reads through ITSV: the copies read the temp tables, and
  // every other statement is the batch's own.
  ASSERT_EQ(plan.transaction.size(), 76u);
  for (std::size_t i = 0; i < 76; ++i) {
    EXPECT_EQ(plan.transaction[i].find("ITSV"), std::string::npos) << i + 1;
    const bool is_copy = i >= 19 && (i - 19) % 3 == 1;
    if (!is_copy) {
      EXPECT_EQ(plan.transaction[i], batch[i]) << i + 1;
      continue;
    }
    const auto& g = testing::kCopyGroups[(i - 19) / 3];
    EXPECT_EQ(plan.transaction[i], " insert into " + std::string(g.table) + "(" +
                                       std::string(g.columns) + ") select " +
                                       std::string(g.columns) + " from #" + std::string(g.table));
  }
}

}  // namespace
}  // namespace rilo::refresh
