#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <variant>

#include "db/DbError.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;

std::string Text15(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

// A sales table with amounts as the store databases declare them.
class ExactSum : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Create("Store",
                   "CREATE TABLE 销售详情(ID INTEGER PRIMARY KEY, 销售类型 TEXT, "
                   "售价 DECIMAL(18,2));");
  }

  void Insert(const std::string& values) {
    folder_.Exec("Store", "INSERT INTO 销售详情(销售类型, 售价) VALUES " + values);
  }

  Value Single(const std::string& sql) {
    const ResultSet result = folder_.Open("Store")->Query(sql);
    EXPECT_EQ(result.rows.size(), 1u);
    if (result.rows.empty() || result.rows.front().empty()) return Null{};
    return result.rows.front().front();
  }

  double SingleDouble(const std::string& sql) {
    const Value value = Single(sql);
    EXPECT_TRUE(std::holds_alternative<double>(value)) << sql;
    const auto* number = std::get_if<double>(&value);
    return number ? *number : -1.0;
  }

  EngineFolder folder_;
};

TEST_F(ExactSum, TenTenthsMakeExactlyOne) {
  double binary = 0;
  for (int i = 0; i < 10; ++i) binary += 0.1;
  ASSERT_NE(binary, 1.0);  // the drift this sum exists to avoid

  for (int i = 0; i < 10; ++i) Insert("('销售服务', 0.1)");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), 1.0);
  EXPECT_EQ(SingleDouble("SELECT SUM(售价) FROM 销售详情"), 1.0);
  EXPECT_EQ(SingleDouble("select Sum(售价) from 销售详情"), 1.0);
}

TEST_F(ExactSum, ManyCentsAddUpToTheExactTotal) {
  folder_.Exec("Store",
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12345) "
               "INSERT INTO 销售详情(销售类型, 售价) SELECT '销售商品', 0.01 FROM n");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), 123.45);
  EXPECT_EQ(Text15(SingleDouble("select sum(售价) from 销售详情")), "123.45");
}

TEST_F(ExactSum, ALargeDayEqualsItsDecimalTotalAsTheSummaryWritesIt) {
  std::mt19937 random(7);
  std::int64_t cents = 0;
  std::int64_t service_cents = 0;
  double binary = 0;
  std::string values;
  for (int i = 0; i < 60000; ++i) {
    const std::int64_t amount = static_cast<std::int64_t>(random() % 200000);
    const bool service = random() % 2 == 0;
    cents += amount;
    if (service) service_cents += amount;
    binary += static_cast<double>(amount) / 100.0;
    if (!values.empty()) values += ',';
    values += std::string("('") + (service ? "销售服务" : "销售商品") + "'," +
              std::to_string(amount / 100) + "." + std::to_string(amount % 100 / 10) +
              std::to_string(amount % 10) + ")";
  }
  Insert(values);
  const double exact = static_cast<double>(cents) / 100.0;  // the double nearest the total
  ASSERT_NE(binary, exact);  // plain addition in the same order drifts

  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), exact);
  EXPECT_EQ(SingleDouble("Select sum(case when 销售类型 ='销售服务' then 售价 else 0 end) as "
                         "服务 From [销售详情]"),
            static_cast<double>(service_cents) / 100.0);
}

TEST_F(ExactSum, RefundsCancelToZeroAndTextShowsTheDecimal) {
  Insert("('销售服务', 0.1), ('退款', -0.3), ('销售服务', 0.2)");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), 0.0);

  Insert("('销售服务', 95077.18)");
  Insert("('销售服务', 0.07), ('退款', -0.07)");
  EXPECT_EQ(Text15(SingleDouble("select sum(售价) from 销售详情")), "95077.18");
}

TEST_F(ExactSum, IntegersAndRealsMixToAnExactReal) {
  Insert("('a', 1), ('a', 2), ('a', 0.1), ('a', 0.2)");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), 3.3);
}

TEST_F(ExactSum, IntegersOnlyGiveAnInteger) {
  Insert("('a', 1), ('a', 2), ('a', NULL), ('a', 40)");
  const Value total = Single("select sum(售价) from 销售详情");
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(total));
  EXPECT_EQ(std::get<std::int64_t>(total), 43);
}

TEST_F(ExactSum, NothingToAddGivesNull) {
  EXPECT_TRUE(std::holds_alternative<Null>(Single("select sum(售价) from 销售详情")));
  Insert("('a', NULL), ('b', NULL)");
  EXPECT_TRUE(std::holds_alternative<Null>(Single("select sum(售价) from 销售详情")));
  // A CASE with ELSE 0 has values even when nothing matches, as SQL Server's has.
  const Value zero =
      Single("select sum(case when 销售类型 = 'x' then 售价 else 0 end) from 销售详情");
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(zero));
  EXPECT_EQ(std::get<std::int64_t>(zero), 0);
}

TEST_F(ExactSum, IntegerOverflowFailsAsSqliteDoes) {
  Insert("('a', 9223372036854775807), ('a', 1)");
  auto session = folder_.Open("Store");
  try {
    session->Query("select sum(售价) from 销售详情");
    ADD_FAILURE() << "an overflowing integer total was returned";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("integer overflow"), std::string::npos) << e.what();
  }
  // Once a REAL makes the total approximate, a large total is no error.
  Insert("('a', 0.5)");
  folder_.Exec("Store", "DELETE FROM 销售详情 WHERE 售价 = 1");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情 "), 9223372036854775807.5);
}

TEST_F(ExactSum, TextCountsByItsNumericPrefix) {
  folder_.Exec("Store", "CREATE TABLE notes(v TEXT)");
  folder_.Exec("Store", "INSERT INTO notes VALUES ('12'), ('1.25'), ('abc'), ('0.1x')");
  EXPECT_EQ(SingleDouble("select sum(v) from notes"), 13.35);

  folder_.Exec("Store", "DELETE FROM notes; INSERT INTO notes VALUES ('12'), ('30')");
  const Value integers = Single("select sum(v) from notes");
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(integers));
  EXPECT_EQ(std::get<std::int64_t>(integers), 42);
}

TEST_F(ExactSum, BeyondTheExactRangeStaysCompensated) {
  // 1e300 has no 128-bit decimal; plain addition would lose the 1 entirely.
  Insert("('a', 1e300), ('a', 1), ('a', -1e300)");
  EXPECT_EQ(SingleDouble("select sum(售价) from 销售详情"), 1.0);

  folder_.Exec("Store", "DELETE FROM 销售详情");
  Insert("('a', 0.1), ('a', 1e-20), ('a', 0.2)");  // past 18 decimals
  EXPECT_DOUBLE_EQ(SingleDouble("select sum(售价) from 销售详情"), 0.3);
}

TEST_F(ExactSum, WindowSumsTakeRowsBackExactly) {
  Insert("('a', 0.1), ('a', 0.2), ('a', 0.3), ('a', 0.4)");
  const ResultSet result = folder_.Open("Store")->Query(
      "select sum(售价) over (order by ID rows between 1 preceding and current row) "
      "from 销售详情 order by ID");
  ASSERT_EQ(result.rows.size(), 4u);
  const double expected[] = {0.1, 0.3, 0.5, 0.7};
  for (std::size_t i = 0; i < 4; ++i) {
    ASSERT_TRUE(std::holds_alternative<double>(result.rows[i][0])) << i;
    EXPECT_EQ(std::get<double>(result.rows[i][0]), expected[i]) << i;
  }
}

TEST_F(ExactSum, GroupedSumsAreEachExact) {
  Insert("('服务', 0.1), ('服务', 0.2), ('商品', 0.7), ('商品', 0.1), ('商品', 0.2)");
  const ResultSet result = folder_.Open("Store")->Query(
      "select 销售类型, sum(售价) from 销售详情 group by 销售类型 order by 销售类型");
  ASSERT_EQ(result.rows.size(), 2u);
  EXPECT_EQ(std::get<double>(result.rows[0][1]), 1.0);  // 商品
  EXPECT_EQ(std::get<double>(result.rows[1][1]), 0.3);  // 服务
}

}  // namespace
}  // namespace rilo::db
