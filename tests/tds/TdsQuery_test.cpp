#include <gtest/gtest.h>

#include "db/DbError.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

using db::Value;

class TdsQuery : public TdsFixture {
 protected:
  void SetUp() override {
    TdsFixture::SetUp();
    CreateDatabase("Shop");
    auto direct = Direct("Shop");
    direct->Execute("CREATE TABLE Goods (ID int PRIMARY KEY, Name nvarchar(40))");
    direct->Execute("INSERT INTO Goods VALUES (1, N'Tea'), (2, N'茶叶')");
    StartServer();
  }
};

TEST_F(TdsQuery, SelectsIntAndNVarCharOverFreeTds) {
  auto session = Connect("Shop");
  const db::ResultSet result = session->Query("SELECT ID, Name FROM Goods ORDER BY ID");
  ASSERT_EQ(result.columns.size(), 2u);
  EXPECT_EQ(result.columns[0].name, "ID");
  EXPECT_EQ(result.columns[1].name, "Name");
  ASSERT_EQ(result.rows.size(), 2u);
  EXPECT_EQ(result.rows[0], (std::vector<Value>{std::int64_t{1}, std::string("Tea")}));
  EXPECT_EQ(result.rows[1], (std::vector<Value>{std::int64_t{2}, std::string("茶叶")}));
}

}  // namespace
}  // namespace rilo::tds::testing
