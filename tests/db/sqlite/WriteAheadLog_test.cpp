#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>

#include "db/sqlite/EngineFolder.h"
#include "db/Utf8Path.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;
using Rows = std::vector<std::vector<std::string>>;
using Clock = std::chrono::steady_clock;

// Well under the engine's busy timeout: a write that had to wait for a lock would take that.
constexpr auto kAtOnce = std::chrono::milliseconds(1000);

// A connection of the test's own, outside the engine, that never waits for a lock.
class Impatient {
 public:
  explicit Impatient(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(rilo::db::PathToUtf8(file).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(raw);
    sqlite3_busy_timeout(db_.get(), 0);
  }
  int Exec(const std::string& sql) {
    return sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr);
  }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  std::unique_ptr<sqlite3, Closer> db_;
};

std::string JournalMode(const EngineFolder& folder, std::string_view database) {
  return folder.Rows(database, "PRAGMA journal_mode").at(0).at(0);
}

// The store's files in one folder, head office in another, both made in the rollback journal
// as other tools make them.
class WriteAheadLog : public ::testing::Test {
 protected:
  void SetUp() override {
    local_.Create("Store", "CREATE TABLE 产品类别(ID INTEGER PRIMARY KEY, 产品类别 TEXT);");
    main_.Create("HQ",
                 "CREATE TABLE 产品类别(ID INTEGER PRIMARY KEY, 产品类别 TEXT);"
                 "INSERT INTO 产品类别 VALUES(5,'护肤'),(9,'彩妆');");
    ASSERT_EQ(JournalMode(main_, "HQ"), "delete");
  }

  std::string AddLink() const {
    return "exec sp_addlinkedserver 'ITSV' , '' , 'SQLOLEDB' , '" + main_.DataSource() + "'";
  }

  EngineFolder local_{"local"};
  EngineFolder main_{"main"};
};

TEST_F(WriteAheadLog, OpeningADatabaseSwitchesItsFile) {
  auto session = main_.Open("HQ");
  EXPECT_EQ(JournalMode(main_, "HQ"), "wal");
  session.reset();
  EXPECT_EQ(JournalMode(main_, "HQ"), "wal");  // the mode stays with the file
  EXPECT_EQ(main_.Rows("HQ", "SELECT count(*) FROM 产品类别"), (Rows{{"2"}}));
}

TEST_F(WriteAheadLog, ALinkedReadInATransactionLetsTheHeadOfficeWriteAtOnce) {
  auto store = local_.Open("Store");
  store->Execute(AddLink());
  store->BeginTransaction();
  store->Execute("DELETE FROM 产品类别");
  store->Execute(" insert into 产品类别(ID,产品类别) select ID,产品类别 from ITSV.HQ.dbo.产品类别");
  EXPECT_EQ(JournalMode(main_, "HQ"), "wal");  // switched before it was attached

  // The head office's own writer, as a job writes back while the refresh is open.
  Impatient writer(main_.File("HQ"));
  EXPECT_EQ(writer.Exec("UPDATE 产品类别 SET 产品类别 = '香水' WHERE ID = 5"), SQLITE_OK);

  auto hq = main_.Open("HQ");
  const auto start = Clock::now();
  EXPECT_NO_THROW(hq->Execute("insert into 产品类别(ID,产品类别) values (11, '工具')"));
  EXPECT_LT(Clock::now() - start, kAtOnce);

  // The refresh still reads what it started from, and commits what it copied.
  const ResultSet seen = store->Query("select count(*) from ITSV.HQ.dbo.产品类别");
  ASSERT_EQ(seen.rows.size(), 1u);
  EXPECT_EQ(std::get<std::int64_t>(seen.rows[0][0]), 2);
  EXPECT_NO_THROW(store->Commit());
  EXPECT_EQ(local_.Rows("Store", "SELECT ID, 产品类别 FROM 产品类别 ORDER BY ID"),
            (Rows{{"5", "护肤"}, {"9", "彩妆"}}));
  EXPECT_EQ(main_.Rows("HQ", "SELECT ID, 产品类别 FROM 产品类别 ORDER BY ID"),
            (Rows{{"5", "香水"}, {"9", "彩妆"}, {"11", "工具"}}));
}

TEST_F(WriteAheadLog, AFileInUseOpensWithoutWaitingAndSwitchesLater) {
  Impatient reader(main_.File("HQ"));
  ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM 产品类别;"), SQLITE_OK);

  const auto start = Clock::now();
  auto held = main_.Open("HQ");
  EXPECT_LT(Clock::now() - start, kAtOnce);
  const ResultSet rows = held->Query("select count(*) from 产品类别");
  EXPECT_EQ(std::get<std::int64_t>(rows.rows.at(0).at(0)), 2);
  EXPECT_EQ(JournalMode(main_, "HQ"), "delete");

  ASSERT_EQ(reader.Exec("COMMIT"), SQLITE_OK);
  held.reset();
  auto later = main_.Open("HQ");
  EXPECT_EQ(JournalMode(main_, "HQ"), "wal");
}

TEST_F(WriteAheadLog, ANewTableInTheHeadOfficeIsReadThroughTheLink) {
  auto store = local_.Open("Store");
  store->Execute(AddLink());
  store->Query("select count(*) from ITSV.HQ.dbo.产品类别");  // attached from here on
  main_.Exec("HQ",
             "CREATE TABLE 产品单位(ID INTEGER PRIMARY KEY, 名称 TEXT);"
             "INSERT INTO 产品单位 VALUES(1, '瓶');");
  const ResultSet units = store->Query("select 名称 from ITSV.HQ.dbo.产品单位");
  ASSERT_EQ(units.rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(units.rows[0][0]), "瓶");
}

}  // namespace
}  // namespace rilo::db
