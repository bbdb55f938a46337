#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "db/DbError.h"
#include "db/access/OpenSession.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

class TdsErrors : public TdsFixture {
 protected:
  void SetUp() override {
    TdsFixture::SetUp();
    CreateDatabase("Shop");
    Direct("Shop")->Execute("CREATE TABLE Goods (ID int PRIMARY KEY, Name nvarchar(40))");
    Direct("Shop")->Execute("INSERT INTO Goods VALUES (1, N'Tea')");
    StartServer();
  }

  // The engine's error number for `sql`, directly and through the wire.
  std::pair<long, long> NumbersFor(const std::string& sql) {
    long direct = 0, wire = 0;
    try {
      Direct("Shop")->Execute(sql);
    } catch (const db::DbError& error) {
      direct = error.native_code();
    }
    try {
      Connect("Shop")->Execute(sql);
    } catch (const db::DbError& error) {
      EXPECT_EQ(error.kind(), db::DbError::Kind::kEngine);
      wire = error.native_code();
    }
    return {direct, wire};
  }
};

TEST_F(TdsErrors, EngineFaultsArriveAsSqlServerErrorNumbers) {
  const std::pair<std::string, long> cases[] = {
      {"SELECT * FROM Missing", 208},
      {"INSERT INTO Goods VALUES (1, N'Again')", 2627},
  };
  for (const auto& [sql, number] : cases) {
    const auto [direct, wire] = NumbersFor(sql);
    EXPECT_NE(direct, 0) << sql;
    EXPECT_EQ(wire, number) << sql;
  }
}

TEST_F(TdsErrors, TranslatedEngineErrorKeepsItsNumber) {
  const auto [direct, wire] = NumbersFor("EXEC sp_no_such_procedure");
  EXPECT_NE(direct, 0);
  EXPECT_EQ(wire, direct);
}

TEST_F(TdsErrors, QueryErrorKeepsTheMessage) {
  try {
    Connect("Shop")->Query("SELECT * FROM Missing");
    FAIL() << "no error";
  } catch (const db::DbError& error) {
    EXPECT_NE(std::string(error.what()).find("Missing"), std::string::npos) << error.what();
  }
}

TEST_F(TdsErrors, DuplicateKeyIsAConstraintViolation) {
  try {
    Connect("Shop")->ExecuteWithParams("INSERT INTO Goods VALUES (?, ?)",
                                       std::vector<db::Value>{std::int64_t{1}, std::string("x")});
    FAIL() << "no error";
  } catch (const db::DbError& error) {
    EXPECT_EQ(error.native_code(), 2627) << error.what();
    EXPECT_EQ(error.sqlstate(), "23000");
  }
}

TEST_F(TdsErrors, ErrorOfALaterStatementInABatchSurfaces) {
  auto session = Connect("Shop");
  EXPECT_THROW(session->Execute("UPDATE Goods SET Name = N'Green tea' WHERE ID = 1; "
                                "SELECT * FROM Missing"),
               db::DbError);
}

// The server counts rows of one statement with the engine's parameterised call; a text of two
// must be refused there, not run in part.
TEST_F(TdsErrors, EngineRefusesACountedBatchInsteadOfRunningItsFirstStatement) {
  auto direct = Direct("Shop");
  EXPECT_THROW(direct->ExecuteWithParams("UPDATE Goods SET Name = N'A' WHERE ID = 1; "
                                         "UPDATE Goods SET Name = N'B' WHERE ID = 1",
                                         {}),
               db::DbError);
  const db::ResultSet result = direct->Query("SELECT Name FROM Goods WHERE ID = 1");
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][0], db::Value(std::string("Tea")));
  EXPECT_EQ(direct->ExecuteWithParams("UPDATE Goods SET Name = N'C' WHERE ID = 1;  ", {}), 1);
}

TEST_F(TdsErrors, WrongPasswordIsRefusedAsLoginFailed) {
  const auto started = std::chrono::steady_clock::now();
  try {
    Connect("Shop", "not-the-password");
    FAIL() << "logged in";
  } catch (const db::DbError& error) {
    EXPECT_EQ(error.kind(), db::DbError::Kind::kEngine);
    EXPECT_EQ(error.native_code(), 18456);
    EXPECT_EQ(std::string(error.what()).find("not-the-password"), std::string::npos);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(TdsErrors, UnknownDatabaseIsRefusedAtLogin) {
  EXPECT_THROW(Connect("NoSuchShop"), db::DbError);
}

TEST_F(TdsErrors, ServerGoingAwayMidStatementFailsTheCall) {
  server_->Stop();
  TdsServerOptions options;
  options.drop_connection_on = [](std::string_view sql) {
    return sql.find("Goods") != std::string_view::npos;
  };
  StartServer(options);
  auto session = Connect("Shop");
  EXPECT_THROW(session->Query("SELECT Name FROM Goods"), db::DbError);
}

TEST_F(TdsErrors, NoServerListeningFailsToConnect) {
  const std::string text = ConnectionText("Shop");
  server_->Stop();
  EXPECT_THROW(db::OpenSession(db::ConnectionString::Parse(text)), db::DbError);
}

}  // namespace
}  // namespace rilo::tds::testing
