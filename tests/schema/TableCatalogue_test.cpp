#include "schema/TableCatalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "db/StoreTables.h"

namespace {

using rilo::schema::ColumnType;
using rilo::schema::FindStoreTable;
using rilo::schema::StoreTableCatalogue;

std::string JoinedNames(const rilo::schema::StoreTable& table) {
  std::string joined;
  for (const auto& column : table.columns) {
    joined += (joined.empty() ? "" : ",") + std::string(column.name);
  }
  return joined;
}

TEST(TableCatalogue, MasterTablesComeFirstInCopyOrderWithTheCopyColumns) {
  const auto& catalogue = StoreTableCatalogue();
  const auto copy_order = rilo::db::MasterTablesInCopyOrder();
  ASSERT_EQ(catalogue.size(), 22u);
  for (std::size_t i = 0; i < copy_order.size(); ++i) {
    EXPECT_EQ(catalogue[i].name, copy_order[i].name);
    EXPECT_TRUE(catalogue[i].master);
    EXPECT_EQ(JoinedNames(catalogue[i]), copy_order[i].columns);
    EXPECT_EQ(catalogue[i].columns.at(0).type, ColumnType::kKey);
  }
}

TEST(TableCatalogue, TransactionTablesHoldEveryColumnTheJobsName) {
  EXPECT_FALSE(FindStoreTable("销售详情").master);
  const std::vector<std::pair<std::string, std::set<std::string>>> used = {
      {"销售详情", {"ID", "销售类型", "项目类型", "售价", "消费日期", "所属分店"}},
      {"会员记录", {"ID", "操作类型", "消费金额", "办理日期", "所属分店"}},
      {"服务预约",
       {"ID", "预约提醒", "顾客姓名", "顾客电话", "预约员工", "预约项目", "预约日期", "所属分店",
        "预约状态"}},
  };
  for (const auto& [name, columns] : used) {
    const auto& table = FindStoreTable(name);
    EXPECT_FALSE(table.master);
    std::set<std::string> present;
    for (const auto& column : table.columns) present.emplace(column.name);
    for (const auto& column : columns) EXPECT_TRUE(present.contains(column)) << name << column;
  }
}

TEST(TableCatalogue, ColumnsTheQueriesComputeWithHaveFittingTypes) {
  const auto type = [](std::string_view table, std::string_view column) {
    for (const auto& c : FindStoreTable(table).columns) {
      if (c.name == column) return c.type;
    }
    throw std::out_of_range(std::string(column));
  };
  EXPECT_EQ(type("销售详情", "售价"), ColumnType::kMoney);
  EXPECT_EQ(type("会员记录", "消费金额"), ColumnType::kMoney);
  EXPECT_EQ(type("销售详情", "消费日期"), ColumnType::kDateTime);
  EXPECT_EQ(type("会员记录", "办理日期"), ColumnType::kDateTime);
  EXPECT_EQ(type("服务预约", "预约日期"), ColumnType::kDateTime);
  EXPECT_EQ(type("员工信息", "入职日期"), ColumnType::kDateTime);
  EXPECT_EQ(type("服务预约", "预约提醒"), ColumnType::kInteger);
  EXPECT_EQ(type("产品信息", "所属分店"), ColumnType::kText);
  EXPECT_EQ(type("服务预约", "预约员工"), type("员工信息", "员工编号"));
  EXPECT_THROW(FindStoreTable("会员信息"), std::out_of_range);
}

TEST(TableCatalogue, NamesAreUniqueWithinEachTable) {
  std::set<std::string_view> tables;
  for (const auto& table : StoreTableCatalogue()) {
    EXPECT_TRUE(tables.insert(table.name).second) << table.name;
    std::set<std::string_view> columns;
    for (const auto& column : table.columns) {
      EXPECT_TRUE(columns.insert(column.name).second) << table.name << "." << column.name;
    }
  }
}

}  // namespace
