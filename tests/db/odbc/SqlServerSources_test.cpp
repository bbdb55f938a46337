#include "db/odbc/SqlServerSources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rilo::db::odbc {
namespace {

ColumnInfo Untraced(std::string name) { return {std::move(name), "", ""}; }

// The server's description in its own shape: one row per column, hidden key columns last.
ResultSet Description(std::vector<std::vector<Value>> rows) {
  ResultSet description;
  for (const char* name :
       {"is_hidden", "column_ordinal", "name", "source_schema", "source_table", "source_column"}) {
    description.columns.push_back({name, "", ""});
  }
  description.rows = std::move(rows);
  return description;
}

TEST(SqlServerSources, FillsTracedColumnsAndSkipsHiddenKeys) {
  std::vector<ColumnInfo> columns = {Untraced("客人"), Untraced("合计"), Untraced("编号")};
  const ResultSet description = Description({
      {std::int64_t{0}, std::int64_t{1}, std::string("客人"), std::string("dbo"),
       std::string("服务预约"), std::string("顾客")},
      {std::int64_t{0}, std::int64_t{2}, std::string("合计"), Null{}, Null{}, Null{}},
      {std::int64_t{0}, std::int64_t{3}, std::string("编号"), std::string("dbo"),
       std::string("服务预约"), std::string("编号")},
      {std::int64_t{1}, std::int64_t{4}, std::string("ID"), std::string("dbo"),
       std::string("服务预约"), std::string("ID")},
  });

  AddServerSources(columns, description);

  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].base_table, "服务预约");
  EXPECT_EQ(columns[0].base_column, "顾客");
  EXPECT_EQ(columns[1].base_table, "");
  EXPECT_EQ(columns[1].base_column, "");
  EXPECT_EQ(columns[2].base_table, "服务预约");
  EXPECT_EQ(columns[2].base_column, "编号");
}

TEST(SqlServerSources, KeepsWhatTheDriverKnewAndIgnoresOtherShapes) {
  std::vector<ColumnInfo> columns = {{"a", "T1", "a"}, Untraced("b")};
  AddServerSources(columns, Description({
                                {std::int64_t{0}, std::int64_t{1}, std::string("a"),
                                 std::string("dbo"), std::string("T2"), std::string("x")},
                                {std::int64_t{0}, std::int64_t{9}, std::string("?"),
                                 std::string("dbo"), std::string("T2"), std::string("y")},
                            }));
  EXPECT_EQ(columns[0].base_table, "T1");
  EXPECT_EQ(columns[1].base_table, "");

  ResultSet other;
  other.columns = {{"name", "", ""}};
  other.rows = {{std::string("b")}};
  AddServerSources(columns, other);
  EXPECT_EQ(columns[1].base_table, "");
}

}  // namespace
}  // namespace rilo::db::odbc
