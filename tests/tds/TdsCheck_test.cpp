// `check` over FreeTDS against the test server: what only a SQL Server can get wrong -
// collation, the linked server's provider, rights refused - each named with its fix, and
// the temporary link gone afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "rilo/Preflight.h"
#include "rilo/SampleChain.h"
#include "schema/SqliteQuery.h"
#include "tds/TdsServer.h"

namespace rilo::tds::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class TdsCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    schema::SampleChainOptions options;
    options.dir = std::filesystem::path(RILO_TEST_TMPDIR) / "tds-check" / info->name();
    std::filesystem::remove_all(options.dir);
    options.sales_per_store = 3;
    chain_ = schema::CreateSampleChain(options);
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  std::vector<CheckResult> Check(TdsServerOptions options = {}) {
    if (server_) server_->Stop();
    options.engine_dir = chain_.dir;
    server_ = std::make_unique<TdsServer>(std::move(options));
    const std::string a = server_->address();
    return RunPreflight(
        {a + "｜rilo｜rilo-secret｜HQ｜" + a + "｜rilo｜rilo-secret｜Store", "中心店", odbc_});
  }

  static const CheckResult& Find(const std::vector<CheckResult>& results, const std::string& name) {
    for (const CheckResult& r : results) {
      if (r.name == name) return r;
    }
    throw std::out_of_range("no check " + name);
  }

  static void ExpectNoPassword(const std::vector<CheckResult>& results) {
    for (const CheckResult& r : results) {
      EXPECT_THAT(r.reason + r.fix, Not(HasSubstr("rilo-secret"))) << r.name;
    }
  }

  schema::SampleChain chain_;
  std::unique_ptr<TdsServer> server_;
  OdbcSettings odbc_;
};

TEST_F(TdsCheck, SqlServerStorePassesAndTheTemporaryLinkIsGone) {
  const std::vector<CheckResult> results = Check();

  for (const CheckResult& r : results) {
    EXPECT_EQ(r.outcome, CheckOutcome::kPassed) << r.name << ": " << r.reason << " / " << r.fix;
  }
  EXPECT_THAT(Find(results, "main: connect").reason, HasSubstr("SQL Server 15.0"));
  // Latin1 cannot hold the Chinese names, but nvarchar columns do not need it to.
  EXPECT_THAT(Find(results, "main: collation").reason, HasSubstr("nvarchar"));
  EXPECT_THAT(Find(results, "refresh: provider reaches main").reason, HasSubstr("SQLOLEDB"));
  EXPECT_TRUE(server_->links().empty());
  ExpectNoPassword(results);
}

TEST_F(TdsCheck, CollationThatCannotHoldTheNamesFailsWhereColumnsAreVarchar) {
  schema::testing::SqliteQuery(chain_.dir / "HQ.db")
      .Execute("ALTER TABLE 店铺信息 RENAME TO 店铺信息_旧; "
               "CREATE TABLE 店铺信息 (ID INTEGER PRIMARY KEY, 店铺编号 TEXT, 店铺名称 varchar(50), "
               "店铺电话 TEXT, 店铺传真 TEXT, 店铺邮编 TEXT, 店铺地址 TEXT, 是否总店 INTEGER, "
               "会员跨店 INTEGER, 学习基金 DECIMAL(18,2), 折旧费 DECIMAL(18,2), 允许预约 INTEGER); "
               "INSERT INTO 店铺信息 SELECT * FROM 店铺信息_旧");

  TdsServerOptions options;
  options.collation = Collation::kLatin1;
  const std::vector<CheckResult> latin = Check(options);
  const CheckResult& collation = Find(latin, "main: collation");
  EXPECT_EQ(collation.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(collation.reason, HasSubstr("code page 1252 cannot hold '中心店'"));
  EXPECT_THAT(collation.reason, HasSubstr("店铺信息.店铺名称 (varchar)"));
  EXPECT_THAT(collation.fix, HasSubstr("nvarchar"));
  EXPECT_EQ(Find(latin, "local: collation").outcome, CheckOutcome::kPassed);

  options.collation = Collation::kChinesePrc;
  const std::vector<CheckResult> chinese = Check(options);
  EXPECT_EQ(Find(chinese, "main: collation").outcome, CheckOutcome::kPassed);
  EXPECT_THAT(Find(chinese, "main: collation").reason, HasSubstr("code page 936 holds"));
}

TEST_F(TdsCheck, MissingProviderFailsTheLinkTestAndTheLinkIsStillDropped) {
  odbc_.link_provider = "SQLOLEDB";  // as --link-provider would force it on SQL Server 2022

  TdsServerOptions options;
  options.product_major_version = 16;
  const std::vector<CheckResult> results = Check(options);

  const CheckResult& reach = Find(results, "refresh: provider reaches main");
  EXPECT_EQ(reach.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(reach.reason, HasSubstr("has not been registered"));
  EXPECT_THAT(reach.fix, HasSubstr("MSOLEDBSQL"));
  EXPECT_EQ(Find(results, "refresh: linked server rights").outcome, CheckOutcome::kPassed);
  EXPECT_TRUE(server_->links().empty());
}

TEST_F(TdsCheck, RefusedRightsAreNamedWithTheirGrants) {
  TdsServerOptions options;
  options.refused_permissions = {"ALTER ANY LINKED SERVER", "UPDATE 服务预约", "DELETE 产品类别"};

  const std::vector<CheckResult> results = Check(options);

  const CheckResult& jobs = Find(results, "main: summary and reminder rights");
  EXPECT_EQ(jobs.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(jobs.reason, HasSubstr("UPDATE on 服务预约"));
  EXPECT_THAT(jobs.fix, HasSubstr("GRANT UPDATE ON [dbo].[服务预约] TO [rilo];"));
  const CheckResult& master = Find(results, "local: master table rights");
  EXPECT_EQ(master.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(master.fix, HasSubstr("GRANT DELETE ON [dbo].[产品类别] TO [rilo];"));
  const CheckResult& link = Find(results, "refresh: linked server rights");
  EXPECT_EQ(link.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(link.reason, HasSubstr("ALTER ANY LINKED SERVER"));
  EXPECT_THAT(link.fix, HasSubstr("setupadmin"));
  EXPECT_EQ(Find(results, "refresh: provider reaches main").outcome, CheckOutcome::kSkipped);
  ExpectNoPassword(results);
}

}  // namespace
}  // namespace rilo::tds::testing
