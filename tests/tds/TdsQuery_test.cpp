#include <gtest/gtest.h>

#include "db/DbError.h"
#include "db/access/OpenSession.h"
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

// The connection string braces values that would otherwise end early; FreeTDS must hand the
// server exactly the password and database the settings hold.
TEST_F(TdsQuery, PasswordAndDatabaseWithSeparatorsReachTheServerExactly) {
  server_->Stop();
  CreateDatabase("门店 一;二");
  Direct("门店 一;二")->Execute("CREATE TABLE T (ID int PRIMARY KEY)");
  TdsServerOptions options;
  options.password = " s3;cr=t {x ";
  StartServer(options);
  const std::string text = "Data Source=" + server_->address() +
                           ";Initial Catalog=\"门店 一;二\";User ID=rilo;Password=\" s3;cr=t {x \"";
  auto session = db::OpenSession(db::ConnectionString::Parse(text));
  EXPECT_TRUE(session->Query("SELECT ID FROM T").rows.empty());
}

}  // namespace
}  // namespace rilo::tds::testing
