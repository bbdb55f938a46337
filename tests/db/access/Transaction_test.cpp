#include "db/access/Transaction.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "db/sqlite/EngineFolder.h"

namespace rilo::db {
namespace {

using testing::EngineFolder;
using Rows = std::vector<std::vector<std::string>>;

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Create("Store", "CREATE TABLE t(ID INTEGER PRIMARY KEY, a)");
    connection_.Open(folder_.ConnString("Store"));
  }
  Rows Kept() { return folder_.Rows("Store", "select a from t order by ID"); }
  EngineFolder folder_;
  Connection connection_;
};

TEST_F(TransactionTest, KeepsWhatWasCommittedAndRollsBackTheRest) {
  {
    Transaction transaction(connection_);
    connection_.Execute("insert into t(a) values('kept')");
    transaction.Commit();
  }
  try {
    Transaction transaction(connection_);
    connection_.Execute("insert into t(a) values('rolled back')");
    throw std::runtime_error("a later statement failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Kept(), (Rows{{"kept"}}));
  // The connection is usable again: no transaction was left open.
  Transaction transaction(connection_);
  transaction.Commit();
}

TEST_F(TransactionTest, AFailedRollbackIsToldNotThrown) {
  std::string told;
  {
    Transaction transaction(connection_, [&] {
      try {
        throw;
      } catch (const DbError& e) {
        told = e.what();
      }
    });
    connection_.Close();
  }
  EXPECT_EQ(told, "Operation is not allowed when the object is closed.");
}

}  // namespace
}  // namespace rilo::db
