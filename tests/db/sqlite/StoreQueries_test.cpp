// The server's own queries on the embedded engine give what SQL Server gives.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "db/Value.h"
#include "db/sqlite/EngineFolder.h"
#include "db/sqlite/TsqlTranslator.h"
#include "rilo/SampleChain.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;

// The summary query of the worked example, exactly as the server sends it.
constexpr const char* kSummaryQuery =
    "Select sum(case when (销售类型 ='销售服务' or 销售类型 ='销售计次') and 项目类型= 'Facial' "
    "then 售价 else 0 end) as \"Facial\",sum(case when (销售类型 ='销售服务' or 销售类型 "
    "='销售计次') and 项目类型= 'Body care' then 售价 else 0 end) as \"Body care\",sum(case when "
    "(销售类型 ='销售服务' or 销售类型 ='销售计次') and 项目类型= 'Nails/Hands' then 售价 else 0 "
    "end) as \"NailsHands\",sum(case when 销售类型 ='销售商品' then 售价 else 0 end) as 商品销售 "
    "From [销售详情] Where CONVERT(varchar(100), 消费日期, 23) = '2026-03-08' and 所属分店 = "
    "'Riverside'";

constexpr const char* kMembershipQuery =
    "Select sum(case when 操作类型 ='会员办卡' then 消费金额 else 0 end) as 会员开卡,sum(case "
    "when 操作类型 ='会员续卡' then 消费金额 else 0 end) as 会员续卡 From [会员记录]  Where "
    "CONVERT(varchar(100), 办理日期, 23) = '2026-03-08' and 所属分店 = 'Riverside'";

std::string ReminderQuery(const std::string& date, const std::string& store) {
  return "Select Top 1 服务预约.预约提醒,服务预约.顾客姓名,服务预约.顾客电话,员工信息.员工编号,"
         "服务预约.预约项目,服务预约.预约日期 From 服务预约 LEFT JOIN 员工信息 ON "
         "服务预约.预约员工 "
         "= 员工信息.员工编号 Where CONVERT(varchar(100), 服务预约.预约日期, 23) >= '" +
         date + "' and 服务预约.所属分店 = '" + store +
         "' and 服务预约.预约状态 ='预约' and 服务预约.预约提醒 = 0 ORDER BY 服务预约.预约日期 ASC";
}

// Name and value text of each column of the first row, as the pair list writes them.
std::vector<std::pair<std::string, std::string>> Pairs(const ResultSet& result) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 0; i < result.columns.size(); ++i) {
    const Value& v = result.rows.at(0).at(i);
    pairs.emplace_back(result.columns[i].name, IsNull(v) ? "0" : ValueToText(v));
  }
  return pairs;
}

class StoreQueries : public ::testing::Test {
 protected:
  void SetUp() override { schema::CreateEmptyStoreDatabase(folder_.File("HQ"), false); }

  void Sale(const char* kind, const char* item, const char* price, const char* when,
            const char* store = "Riverside") {
    folder_.Exec("HQ", std::string("INSERT INTO 销售详情(销售类型,项目类型,售价,消费日期,所属分店) "
                                   "VALUES('") +
                           kind + "','" + item + "'," + price + ",'" + when + "','" + store + "')");
  }
  void Card(const char* kind, const char* amount, const char* when,
            const char* store = "Riverside") {
    folder_.Exec("HQ", std::string("INSERT INTO 会员记录(操作类型,消费金额,办理日期,所属分店) "
                                   "VALUES('") +
                           kind + "'," + amount + ",'" + when + "','" + store + "')");
  }
  void Appointment(const char* customer, const char* staff, const char* when,
                   const char* store = "中心店", const char* state = "预约", int reminded = 0) {
    folder_.Exec("HQ", std::string("INSERT INTO 服务预约(顾客姓名,顾客电话,预约员工,预约项目,"
                                   "预约日期,所属分店,预约状态,预约提醒) VALUES('") +
                           customer + "','13800000000','" + staff + "','面部护理','" + when +
                           "','" + store + "','" + state + "'," + std::to_string(reminded) + ")");
  }

  // SQLite's plan for the translated form of `tsql`.
  std::string QueryPlan(const std::string& tsql) {
    const auto translated = sqlite::TranslateTsql(tsql, nullptr);
    const std::string& sql = std::get<sqlite::SqliteText>(translated.at(0)).sql;
    std::string plan;
    for (const auto& row : folder_.Rows("HQ", "EXPLAIN QUERY PLAN " + sql))
      plan += row.back() + "\n";
    return plan;
  }

  EngineFolder folder_;
};

TEST_F(StoreQueries, SummaryOfTheWorkedExampleGivesTheWorkedSums) {
  Sale("销售服务", "Facial", "1000.5", "2026-03-08 10:15:00");
  Sale("销售计次", "Facial", "280", "2026-03-08 16:40:00");
  Sale("销售服务", "Nails/Hands", "300", "2026-03-08 11:00:00");
  Sale("销售商品", "洗面奶", "100", "2026-03-08 12:00:00");
  Sale("销售商品", "面膜", "56", "2026-03-08 18:30:59");
  Sale("销售服务", "Facial", "999", "2026-03-07 23:59:59");               // day before
  Sale("销售服务", "Facial", "999", "2026-03-09 00:00:00");               // day after
  Sale("销售服务", "Body care", "999", "2026-03-08 10:00:00", "中心店");  // other store
  Sale("退货", "Body care", "999", "2026-03-08 10:00:00");                // no kind of ours
  Card("会员办卡", "1500", "2026-03-08 09:00:00");
  Card("会员办卡", "500", "2026-03-08 20:00:00");
  Card("会员续卡", "800", "2026-03-08 20:00:00", "中心店");

  auto session = folder_.Open("HQ");
  EXPECT_EQ(
      Pairs(session->Query(kSummaryQuery)),
      (std::vector<std::pair<std::string, std::string>>{
          {"Facial", "1280.5"}, {"Body care", "0"}, {"NailsHands", "300"}, {"商品销售", "156"}}));
  EXPECT_EQ(
      Pairs(session->Query(kMembershipQuery)),
      (std::vector<std::pair<std::string, std::string>>{{"会员开卡", "2000"}, {"会员续卡", "0"}}));
}

TEST_F(StoreQueries, ADayWithoutBusinessGivesOneRowOfNulls) {
  Sale("销售服务", "Facial", "10", "2026-03-01 10:00:00");
  auto session = folder_.Open("HQ");
  const ResultSet result = session->Query(kMembershipQuery);
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_TRUE(IsNull(result.rows[0][0]));
  EXPECT_TRUE(IsNull(result.rows[0][1]));
}

TEST_F(StoreQueries, CategoryQueryReadsNamesInIdOrder) {
  folder_.Exec("HQ",
               "INSERT INTO 服务类别(ID,服务类别) VALUES(3,'Nails/Hands'),(1,'Facial'),"
               "(2,'Body care')");
  auto session = folder_.Open("HQ");
  const ResultSet result = session->Query("Select 服务类别 From [服务类别] ORDER BY ID ASC");
  ASSERT_EQ(result.rows.size(), 3u);
  EXPECT_EQ(result.columns[0].name, "服务类别");
  EXPECT_EQ(result.rows[0][0], Value(std::string("Facial")));
  EXPECT_EQ(result.rows[2][0], Value(std::string("Nails/Hands")));
}

TEST_F(StoreQueries, ReminderQueryPicksTheEarliestWaitingAppointment) {
  folder_.Exec("HQ", "INSERT INTO 员工信息(员工编号,员工姓名) VALUES('A03','王')");
  Appointment("已提醒", "A03", "2025-03-08 09:00:00", "中心店", "预约", 1);
  Appointment("别的店", "A03", "2025-03-08 08:00:00", "东城店");
  Appointment("取消了", "A03", "2025-03-08 10:00:00", "中心店", "取消");
  Appointment("昨天的", "A03", "2025-03-07 10:00:00");
  Appointment("后来的", "A03", "2025-03-09 15:00:00");
  Appointment("李女士", "A03", "2025-03-09 14:30:00");

  auto session = folder_.Open("HQ");
  const ResultSet result = session->Query(ReminderQuery("2025-03-08", "中心店"));
  ASSERT_EQ(result.rows.size(), 1u);
  const auto& row = result.rows[0];
  EXPECT_EQ(row[0], Value(std::int64_t{0}));
  EXPECT_EQ(row[1], Value(std::string("李女士")));
  EXPECT_EQ(row[2], Value(std::string("13800000000")));
  EXPECT_EQ(row[3], Value(std::string("A03")));
  EXPECT_EQ(row[4], Value(std::string("面部护理")));
  EXPECT_EQ(row[5], Value(CalendarDateTime{2025, 3, 9, 14, 30, 0, 0}));
}

TEST_F(StoreQueries, ReminderOnTheBusinessDateCountsWhateverTheTimeAndUnknownStaffIsNull) {
  Appointment("早上的", "Z99", "2025-03-08 08:00:00");
  auto session = folder_.Open("HQ");
  const ResultSet result = session->Query(ReminderQuery("2025-03-08", "中心店"));
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][1], Value(std::string("早上的")));
  EXPECT_TRUE(IsNull(result.rows[0][3]));
  EXPECT_TRUE(session->Query(ReminderQuery("2025-03-09", "中心店")).rows.empty());
}

TEST_F(StoreQueries, DateTestsSeekTheStoreAndDateIndexes) {
  EXPECT_NE(QueryPlan(kSummaryQuery).find(" INDEX IX_销售详情_分店日期"), std::string::npos)
      << QueryPlan(kSummaryQuery);
  EXPECT_NE(QueryPlan(kMembershipQuery).find(" INDEX IX_会员记录_分店日期"),
            std::string::npos);
  const std::string reminder = QueryPlan(ReminderQuery("2025-03-08", "中心店"));
  EXPECT_NE(reminder.find("IX_服务预约_待提醒"), std::string::npos) << reminder;
}

TEST_F(StoreQueries, LiteralsThatLookLikeTsqlReachTheDatabaseUnchanged) {
  const std::string odd = "Top 1 CONVERT( [x] ITSV.HQ.dbo.t N'";
  folder_.Exec("HQ",
               "INSERT INTO 服务类别(服务类别) VALUES('Top 1 CONVERT( [x] ITSV.HQ.dbo.t "
               "N''')");
  auto session = folder_.Open("HQ");
  session->Execute("insert into [服务类别](服务类别) values('Select Top 1 [y] from ITSV.a.b.c')");
  const ResultSet result = session->Query(
      "Select Top 1 服务类别 From [服务类别] Where 服务类别 = 'Top 1 CONVERT( [x] ITSV.HQ.dbo.t "
      "N''' ORDER BY ID ASC");
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][0], Value(odd));
  EXPECT_EQ(folder_.Rows("HQ", "select 服务类别 from 服务类别 where ID = 2"),
            (std::vector<std::vector<std::string>>{{"Select Top 1 [y] from ITSV.a.b.c"}}));
}

}  // namespace
}  // namespace rilo::db
