#include "rilo/SampleChain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "db/StoreTables.h"
#include "schema/SqliteQuery.h"
#include "schema/TableCatalogue.h"

namespace {

using rilo::schema::CreateEmptyStoreDatabase;
using rilo::schema::CreateSampleChain;
using rilo::schema::SampleChain;
using rilo::schema::SampleChainOptions;
using rilo::schema::StoreTableCatalogue;
using rilo::schema::testing::kNull;
using rilo::schema::testing::ScratchDir;
using rilo::schema::testing::SqliteQuery;

SampleChainOptions Options(const std::string& test) {
  SampleChainOptions options;
  options.dir = ScratchDir(test);
  return options;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

int Number(const std::string& text) { return std::stoi(text); }

// Every row of every table, in ID order, as one text.
std::string Dump(const std::filesystem::path& file) {
  SqliteQuery db(file);
  std::string dump;
  for (const auto& table : StoreTableCatalogue()) {
    const std::string name(table.name);
    if (db.Value("SELECT count(*) FROM sqlite_master WHERE name = " + Quoted(name)) == "0") {
      continue;
    }
    for (const auto& row : db.Rows("SELECT * FROM " + name + " ORDER BY ID")) {
      dump += name;
      for (const auto& value : row) dump += "|" + value;
      dump += "\n";
    }
  }
  return dump;
}

TEST(SampleChain, CreatesBothDatabasesAndTheSettingsString) {
  const auto options = Options("chain-files");
  const SampleChain chain = CreateSampleChain(options);

  EXPECT_TRUE(chain.dir.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(chain.dir / "HQ.db"));
  EXPECT_TRUE(std::filesystem::exists(chain.dir / "Store.db"));
  EXPECT_EQ(chain.main_database, "HQ");
  EXPECT_EQ(chain.local_database, "Store");
  const std::string source = "sqlite:" + chain.dir.string();
  EXPECT_EQ(chain.settings_string, source + "｜｜｜HQ｜" + source + "｜｜｜Store");

  SqliteQuery main(chain.dir / "HQ.db");
  for (const auto& table : StoreTableCatalogue()) {
    EXPECT_GT(Number(main.Value("SELECT count(*) FROM " + std::string(table.name))), 0)
        << table.name;
  }
  SqliteQuery local(chain.dir / "Store.db");
  EXPECT_EQ(local.Value("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), "19");
}

TEST(SampleChain, SameSeedGivesTheSameRowsAndAnotherSeedOthers) {
  auto first = Options("chain-seed-a");
  auto second = Options("chain-seed-b");
  auto third = Options("chain-seed-c");
  third.seed = 2;
  const auto a = CreateSampleChain(first);
  const auto b = CreateSampleChain(second);
  const auto c = CreateSampleChain(third);
  EXPECT_EQ(Dump(a.dir / "HQ.db"), Dump(b.dir / "HQ.db"));
  EXPECT_EQ(Dump(a.dir / "Store.db"), Dump(b.dir / "Store.db"));
  EXPECT_NE(Dump(a.dir / "HQ.db"), Dump(c.dir / "HQ.db"));

  // Recreating over an existing chain gives the same rows again, not twice as many.
  CreateSampleChain(first);
  EXPECT_EQ(Dump(a.dir / "HQ.db"), Dump(b.dir / "HQ.db"));
}

TEST(SampleChain, EveryStoreHasTakingsOfEachKindOnTheBusinessDate) {
  auto options = Options("chain-sales");
  options.sales_per_store = 25;
  const auto chain = CreateSampleChain(options);
  SqliteQuery db(chain.dir / "HQ.db");

  const auto categories = db.Column("SELECT 服务类别 FROM 服务类别 ORDER BY ID");
  EXPECT_NE(std::find(categories.begin(), categories.end(), "Nails/Hands"), categories.end());
  EXPECT_NE(std::find(categories.begin(), categories.end(), "面部护理"), categories.end());

  for (const auto& store : options.stores) {
    SCOPED_TRACE(store);
    const std::string on_day =
        " FROM 销售详情 WHERE substr(消费日期,1,10) = '2026-03-08' AND 所属分店 = " + Quoted(store);
    EXPECT_EQ(db.Value("SELECT count(*)" + on_day), "25");
    for (const std::string kind : {"销售服务", "销售计次", "销售商品"}) {
      EXPECT_GT(Number(db.Value("SELECT count(*)" + on_day + " AND 销售类型 = " + Quoted(kind))), 0)
          << kind;
    }
    for (const auto& category : categories) {
      EXPECT_GT(Number(db.Value("SELECT count(*)" + on_day +
                                " AND 销售类型 = '销售服务' AND 项目类型 = " + Quoted(category))),
                0)
          << category;
    }
    // Sales of other days must stay out of the day's sums.
    EXPECT_GT(Number(db.Value("SELECT count(*) FROM 销售详情 WHERE substr(消费日期,1,10) <> "
                              "'2026-03-08' AND 所属分店 = " +
                              Quoted(store))),
              0);
    // Prices in half units keep every sum exact, also where the engine adds binary numbers.
    const double total = std::stod(db.Value("SELECT total(售价)" + on_day));
    EXPECT_EQ(total * 2, static_cast<double>(static_cast<long long>(total * 2)));

    const std::string cards = " FROM 会员记录 WHERE 所属分店 = " + Quoted(store);
    for (const std::string kind : {"会员办卡", "会员续卡"}) {
      EXPECT_GT(Number(db.Value(
                    "SELECT count(*)" + cards +
                    " AND substr(办理日期,1,10) = '2026-03-08' AND 操作类型 = " + Quoted(kind))),
                0);
      EXPECT_GT(Number(db.Value(
                    "SELECT count(*)" + cards +
                    " AND substr(办理日期,1,10) <> '2026-03-08' AND 操作类型 = " + Quoted(kind))),
                0);
    }
  }
  // Dates are stored as the text the embedded engine compares.
  EXPECT_EQ(db.Value("SELECT count(*) FROM 销售详情 WHERE 消费日期 NOT GLOB "
                     "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:00'"),
            "0");
}

TEST(SampleChain, AppointmentsGiveTheReminderWorkAndTraps) {
  const auto options = Options("chain-appointments");
  const auto chain = CreateSampleChain(options);
  SqliteQuery db(chain.dir / "HQ.db");

  for (const auto& store : options.stores) {
    SCOPED_TRACE(store);
    const std::string waiting = " FROM 服务预约 WHERE 所属分店 = " + Quoted(store) +
                                " AND 预约状态 = '预约' AND 预约提醒 = 0";
    // Due ones: early on the business date, later that day and in the following days.
    const auto due = db.Column("SELECT 预约日期" + waiting +
                               " AND substr(预约日期,1,10) >= '2026-03-08' ORDER BY 预约日期");
    ASSERT_GE(due.size(), 3u);
    EXPECT_EQ(due.front().substr(0, 13), "2026-03-08 08");
    EXPECT_GT(due.back().substr(0, 10), "2026-03-09");
    // Waiting ones before the business date, which must never be reported.
    EXPECT_GT(
        Number(db.Value("SELECT count(*)" + waiting + " AND substr(预约日期,1,10) < '2026-03-08'")),
        0);
    // Reminded ones and ones no longer booked.
    EXPECT_GT(Number(db.Value("SELECT count(*) FROM 服务预约 WHERE 所属分店 = " + Quoted(store) +
                              " AND 预约状态 = '预约' AND 预约提醒 = 1")),
              0);
    EXPECT_GT(Number(db.Value("SELECT count(*) FROM 服务预约 WHERE 所属分店 = " + Quoted(store) +
                              " AND 预约状态 <> '预约'")),
              0);

    // Staff numbers: all but one booking name a staff member of the store.
    const auto staff = db.Rows(
        "SELECT 服务预约.预约员工, 员工信息.员工编号, 员工信息.所属分店 FROM 服务预约 LEFT JOIN "
        "员工信息 ON 服务预约.预约员工 = 员工信息.员工编号 WHERE 服务预约.所属分店 = " +
        Quoted(store));
    int unknown = 0;
    for (const auto& row : staff) {
      if (row[1] == kNull) {
        ++unknown;
        EXPECT_NE(row[0], kNull);
      } else {
        EXPECT_EQ(row[2], store);
      }
    }
    EXPECT_EQ(unknown, 1);
  }
}

TEST(SampleChain, ProductsAndServicesBelongToAllStoresOneStoreOrAnother) {
  const auto options = Options("chain-filtered");
  const auto chain = CreateSampleChain(options);
  SqliteQuery db(chain.dir / "HQ.db");
  for (const std::string table : {"产品信息", "服务信息"}) {
    const std::string count = "SELECT count(*) FROM " + table + " WHERE 所属分店 ";
    EXPECT_GT(Number(db.Value(count + "= '全部分店'")), 0) << table;
    for (const auto& store : options.stores) {
      EXPECT_GT(Number(db.Value(count + "= " + Quoted(store))), 0) << table << store;
      EXPECT_GT(Number(db.Value(count + "NOT IN ('全部分店', " + Quoted(store) + ")")), 0)
          << table << store;
    }
  }
  // The staff and stores of every store of the chain are there.
  for (const auto& store : options.stores) {
    EXPECT_EQ(db.Value("SELECT count(*) FROM 店铺信息 WHERE 店铺名称 = " + Quoted(store)), "1");
    EXPECT_GT(Number(db.Value("SELECT count(*) FROM 员工信息 WHERE 允许预约 = 1 AND 所属分店 = " +
                              Quoted(store))),
              0);
  }
}

TEST(SampleChain, NoColumnIsLeftNull) {
  const auto chain = CreateSampleChain(Options("chain-nulls"));
  SqliteQuery db(chain.dir / "HQ.db");
  for (const auto& table : StoreTableCatalogue()) {
    for (const auto& column : table.columns) {
      const std::string nulls = db.Value("SELECT count(*) FROM " + std::string(table.name) +
                                         " WHERE " + std::string(column.name) + " IS NULL");
      EXPECT_EQ(nulls, "0") << table.name << "." << column.name;
    }
  }
}

TEST(SampleChain, LocalDatabaseHoldsAStaleCopyOrNothing) {
  auto options = Options("chain-local");
  const auto chain = CreateSampleChain(options);
  SqliteQuery main(chain.dir / "HQ.db");
  SqliteQuery local(chain.dir / "Store.db");
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) {
    const std::string name(table.name);
    SCOPED_TRACE(name);
    const int main_rows = Number(main.Value("SELECT count(*) FROM " + name));
    EXPECT_EQ(Number(local.Value("SELECT count(*) FROM " + name)), (main_rows + 1) / 2 + 1);
    // The retired row: a key the main database does not have, its name marked as old.
    EXPECT_EQ(main.Value("SELECT count(*) FROM " + name + " WHERE ID = 9001"), "0");
    const auto retired = local.Rows("SELECT * FROM " + name + " WHERE ID = 9001");
    ASSERT_EQ(retired.size(), 1u);
    EXPECT_TRUE(retired[0][1].ends_with("（旧）")) << retired[0][1];
  }

  options.stale_local_rows = false;
  options.dir = ScratchDir("chain-local-empty");
  const auto empty = CreateSampleChain(options);
  SqliteQuery fresh(empty.dir / "Store.db");
  for (const auto& table : rilo::db::MasterTablesInCopyOrder()) {
    EXPECT_EQ(fresh.Value("SELECT count(*) FROM " + std::string(table.name)), "0");
  }
}

TEST(SampleChain, FollowsTheBusinessDateAndTheStoresGiven) {
  auto options = Options("chain-date");
  options.business_date = 46090.75;  // 2026-03-09 18:00; only the date counts
  options.stores = {"西湖店"};
  options.sales_per_store = 3;
  options.main_database = "Main";
  options.local_database = "Local";
  const auto chain = CreateSampleChain(options);
  SqliteQuery db(chain.dir / "Main.db");
  EXPECT_EQ(db.Value("SELECT count(*) FROM 销售详情 WHERE substr(消费日期,1,10) = '2026-03-09'"),
            "3");
  EXPECT_EQ(db.Column("SELECT DISTINCT 所属分店 FROM 销售详情"),
            (std::vector<std::string>{"西湖店"}));
  // With one store, a former store's products still give rows of another store.
  EXPECT_GT(Number(db.Value(
                "SELECT count(*) FROM 产品信息 WHERE 所属分店 NOT IN ('全部分店', '西湖店')")),
            0);
  EXPECT_TRUE(std::filesystem::exists(chain.dir / "Local.db"));
}

TEST(SampleChain, RejectsDatabaseNamesThatAreNoFileOrClash) {
  auto options = Options("chain-names");
  options.local_database = options.main_database;
  EXPECT_THROW(CreateSampleChain(options), std::invalid_argument);
  options.local_database = "../Store";
  EXPECT_THROW(CreateSampleChain(options), std::invalid_argument);
  options.local_database = "";
  EXPECT_THROW(CreateSampleChain(options), std::invalid_argument);
  options.local_database = "A｜B";  // would add a part to the settings string
  EXPECT_THROW(CreateSampleChain(options), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(options.dir / "HQ.db"));
}

TEST(EmptyStoreDatabase, CreatesTheTablesWithoutRowsAndReplacesAnOldFile) {
  const auto dir = ScratchDir("empty-database");
  const auto file = dir / "sub" / "Empty.db";
  CreateEmptyStoreDatabase(file, false);
  {
    SqliteQuery db(file);
    EXPECT_EQ(db.Value("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), "22");
    db.Execute("INSERT INTO 服务类别(服务类别) VALUES('Facial')");
  }
  CreateEmptyStoreDatabase(file, true);
  SqliteQuery db(file);
  EXPECT_EQ(db.Value("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), "19");
  EXPECT_EQ(db.Value("SELECT count(*) FROM 服务类别"), "0");
  EXPECT_EQ(db.Value("SELECT count(*) FROM sqlite_master WHERE name = '销售详情'"), "0");
}

}  // namespace
