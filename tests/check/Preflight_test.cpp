// `check` on the embedded engine: the sample chain passes, and each fault a store meets is
// reported with its fix, without the check changing anything.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "db/sqlite/LinkedServerRegistry.h"
#include "rilo/Preflight.h"
#include "rilo/SampleChain.h"
#include "schema/SqliteQuery.h"

namespace rilo {
namespace {

using ::testing::HasSubstr;

class Preflight : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    schema::SampleChainOptions options;
    options.dir = std::filesystem::path(RILO_TEST_TMPDIR) / "check" / info->name();
    std::filesystem::remove_all(options.dir);
    options.sales_per_store = 3;
    chain_ = schema::CreateSampleChain(options);
  }

  std::vector<CheckResult> Run(const std::string& store = "中心店") const {
    return RunPreflight({chain_.settings_string, store});
  }

  std::filesystem::path File(const std::string& database) const {
    return chain_.dir / (database + ".db");
  }

  // Every row of every table, written out.
  static std::string Contents(const std::filesystem::path& file) {
    schema::testing::SqliteQuery db(file);
    std::string out;
    for (const auto& table : db.Rows("SELECT name FROM sqlite_schema WHERE type = 'table' "
                                     "ORDER BY name")) {
      out += table[0] + ":";
      for (const auto& row : db.Rows("SELECT * FROM \"" + table[0] + "\" ORDER BY 1")) {
        for (const auto& value : row) out += value + "|";
        out += "\n";
      }
    }
    return out;
  }

  static const CheckResult& Find(const std::vector<CheckResult>& results, const std::string& name) {
    for (const CheckResult& r : results) {
      if (r.name == name) return r;
    }
    throw std::out_of_range("no check " + name);
  }

  schema::SampleChain chain_;
};

TEST_F(Preflight, SampleChainPassesAndNothingChanges) {
  const std::string main_before = Contents(File("HQ"));
  const std::string local_before = Contents(File("Store"));

  const std::vector<CheckResult> results = Run();

  EXPECT_TRUE(AllPassed(results));
  std::map<std::string, CheckOutcome> outcomes;
  for (const CheckResult& r : results) {
    outcomes[r.name] = r.outcome;
    EXPECT_TRUE(r.fix.empty()) << r.name;
  }
  for (const char* name : {"main: connect", "main: tables and columns",
                           "main: summary and reminder rights", "main: store name",
                           "local: connect", "local: tables and columns",
                           "local: master table rights", "local: SET IDENTITY_INSERT",
                           "refresh: no other ITSV"}) {
    EXPECT_EQ(outcomes[name], CheckOutcome::kPassed) << name;
  }
  // What means nothing on the embedded engine says so rather than passing.
  for (const char* name : {"main: collation", "local: collation", "refresh: linked server rights",
                           "refresh: provider reaches main"}) {
    EXPECT_EQ(outcomes[name], CheckOutcome::kNotApplicable) << name;
  }
  EXPECT_TRUE(Contents(File("HQ")) == main_before);
  EXPECT_TRUE(Contents(File("Store")) == local_before);
  EXPECT_FALSE(db::sqlite::LinkedServerRegistry(chain_.dir).Find("ITSV"));
}

TEST_F(Preflight, EachFaultIsNamedWithItsFix) {
  schema::testing::SqliteQuery(File("Store")).Execute(
      "ALTER TABLE 会员等级 DROP COLUMN 升降级方案");
  schema::testing::SqliteQuery(File("Store")).Execute(
      "CREATE TABLE 新表 (ID INTEGER); DROP TABLE 常用短信; "
      "CREATE TABLE 常用短信 (ID TEXT PRIMARY KEY, 短信内容 TEXT)");
  db::sqlite::LinkedServerRegistry(chain_.dir).Add({"ITSV", "", "SQLOLEDB", "sqlhq02"});

  const std::vector<CheckResult> results = Run("北城店");

  EXPECT_FALSE(AllPassed(results));
  const CheckResult& columns = Find(results, "local: tables and columns");
  EXPECT_EQ(columns.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(columns.reason, HasSubstr("missing column 会员等级.升降级方案"));
  EXPECT_THAT(columns.fix, HasSubstr("rilo-server schema --engine sqlite"));
  EXPECT_THAT(columns.reason, HasSubstr("常用短信.ID is TEXT, not a number"));

  const CheckResult& identity = Find(results, "local: SET IDENTITY_INSERT");
  EXPECT_EQ(identity.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(identity.reason, HasSubstr("常用短信"));
  EXPECT_THAT(identity.fix, HasSubstr("INTEGER PRIMARY KEY"));

  const CheckResult& store = Find(results, "main: store name");
  EXPECT_EQ(store.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(store.reason, HasSubstr("'北城店'"));
  EXPECT_THAT(store.fix, HasSubstr("'中心店'"));  // the names it knows

  const CheckResult& itsv = Find(results, "refresh: no other ITSV");
  EXPECT_EQ(itsv.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(itsv.reason, HasSubstr("sqlhq02"));
  EXPECT_THAT(itsv.fix, HasSubstr("sp_dropserver"));

  // The main side has nothing wrong.
  EXPECT_EQ(Find(results, "main: tables and columns").outcome, CheckOutcome::kPassed);
}

TEST_F(Preflight, ReadOnlyDatabasesFailTheJobsThatWrite) {
  // A write version above 2 in the file header makes SQLite open the database read-only,
  // whoever runs the test.
  for (const char* database : {"HQ", "Store"}) {
    std::fstream file(File(database), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(18);
    file.put(3);
  }

  const std::vector<CheckResult> results = Run();

  const CheckResult& reminder = Find(results, "main: summary and reminder rights");
  EXPECT_EQ(reminder.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(reminder.reason, HasSubstr("readonly"));
  EXPECT_THAT(reminder.fix, HasSubstr("HQ.db writable"));
  const CheckResult& refresh = Find(results, "local: master table rights");
  EXPECT_EQ(refresh.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(refresh.fix, HasSubstr("Store.db writable"));
  EXPECT_EQ(Find(results, "main: tables and columns").outcome, CheckOutcome::kPassed);
}

TEST_F(Preflight, UnreachableDatabaseSkipsWhatNeedsIt) {
  const std::vector<CheckResult> results =
      RunPreflight({"sqlite:" + chain_.dir.string() + "｜｜pw-1｜Nowhere", " 中心店 "});

  const CheckResult& connect = Find(results, "main: connect");
  EXPECT_EQ(connect.outcome, CheckOutcome::kFailed);
  EXPECT_THAT(connect.fix, HasSubstr("Nowhere.db"));
  EXPECT_EQ(Find(results, "main: store name").outcome, CheckOutcome::kSkipped);
  // Four parts: a store without a refresh.
  EXPECT_EQ(Find(results, "local: connect").outcome, CheckOutcome::kSkipped);
}

}  // namespace
}  // namespace rilo
