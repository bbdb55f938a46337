#include <gtest/gtest.h>

#include "db/DbError.h"
#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;

long Failure(Session& session, const std::string& sql, std::string* message = nullptr) {
  try {
    session.Execute(sql);
  } catch (const DbError& e) {
    if (message) *message = e.what();
    return e.native_code();
  }
  return 0;
}

class IdentityInsert : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Create("Store",
                   "CREATE TABLE 产品类别(ID INTEGER PRIMARY KEY, 产品类别 TEXT);"
                   "CREATE TABLE 服务类别(ID INTEGER PRIMARY KEY, 服务类别 TEXT);"
                   "CREATE TABLE 无标识(ID INT PRIMARY KEY, x TEXT);"
                   "CREATE TABLE 无键(ID INTEGER, x TEXT);"
                   "CREATE TABLE 无行号(ID INTEGER PRIMARY KEY, x TEXT) WITHOUT ROWID;");
    session_ = folder_.Open("Store");
  }
  EngineFolder folder_;
  std::unique_ptr<Session> session_;
};

TEST_F(IdentityInsert, TableWithAnIdentityIdTakesExplicitIds) {
  EXPECT_NO_THROW(session_->Execute("SET IDENTITY_INSERT 产品类别 ON"));
  session_->Execute("insert into 产品类别(ID,产品类别) values(42,'护肤')");
  EXPECT_NO_THROW(session_->Execute("SET IDENTITY_INSERT 产品类别 off"));
  EXPECT_NO_THROW(session_->Execute("set identity_insert [产品类别] On"));
  EXPECT_EQ(folder_.Rows("Store", "select ID from 产品类别"),
            (std::vector<std::vector<std::string>>{{"42"}}));
}

TEST_F(IdentityInsert, TableWithoutIdentityFailsAsOnSqlServer) {
  std::string message;
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 无标识 ON", &message), 8106);
  EXPECT_EQ(message,
            "Table '无标识' does not have the identity property. Cannot perform SET operation.");
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 无键 ON"), 8106);
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 无行号 ON"), 8106);
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 无标识 off"), 8106);
}

TEST_F(IdentityInsert, MissingTableFailsAsAnInvalidObject) {
  std::string message;
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 不存在 ON", &message), 208);
  EXPECT_EQ(message, "Invalid object name '不存在'.");
}

TEST_F(IdentityInsert, OnlyOneTableOfASessionAtATime) {
  session_->Execute("SET IDENTITY_INSERT 产品类别 ON");
  std::string message;
  EXPECT_EQ(Failure(*session_, "SET IDENTITY_INSERT 服务类别 ON", &message), 8107);
  EXPECT_EQ(message,
            "IDENTITY_INSERT is already ON for table 'Store.dbo.产品类别'. Cannot "
            "perform SET operation for table '服务类别'.");
  // Switching off another table is harmless; switching off the right one frees the session.
  EXPECT_NO_THROW(session_->Execute("SET IDENTITY_INSERT 服务类别 off"));
  session_->Execute("SET IDENTITY_INSERT 产品类别 off");
  EXPECT_NO_THROW(session_->Execute("SET IDENTITY_INSERT 服务类别 ON"));
  // Another session has its own setting.
  auto other = folder_.Open("Store");
  EXPECT_NO_THROW(other->Execute("SET IDENTITY_INSERT 产品类别 ON"));
}

}  // namespace
}  // namespace rilo::db
