// Server names as settings written for Windows clients give them, through FreeTDS.
#include <gtest/gtest.h>

#include <string>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/access/OpenSession.h"
#include "db/odbc/OdbcChoice.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

class TdsServerNames : public TdsFixture {
 protected:
  void SetUp() override {
    TdsFixture::SetUp();
    CreateDatabase("Shop");
    StartServer();
  }
  std::unique_ptr<db::Session> ConnectAs(const std::string& server) const {
    const std::string text =
        "Provider=SQLOLEDB;Data Source=" + server +
        ";Initial Catalog=Shop;User ID=rilo;Password=rilo-secret;Connect Timeout=5";
    return db::OpenSession(db::ConnectionString::Parse(text), odbc_);
  }
  db::OdbcChoice odbc_;
};

TEST_F(TdsServerNames, ThisMachineAndTcpFormsReachTheServer) {
  const std::string port = std::to_string(server_->port());
  for (const std::string& name : {"(local)," + port, "." + std::string(",") + port,
                                  "tcp:127.0.0.1," + port, "tcp:(local), " + port}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ConnectAs(name)->Query("SELECT 1").rows.size(), 1u);
  }
}

TEST_F(TdsServerNames, StrictEncryptionIsRefusedNamingTheReason) {
  const auto refusal = [](const auto& attempt) -> std::string {
    try {
      attempt();
    } catch (const db::DbError& error) {
      return error.what();
    }
    return "accepted";
  };
  EXPECT_NE(refusal([] {
              db::ReadOdbcChoice({.freetds_keywords = {"Encryption=strict"}});
            }).find("TDS 8"),
            std::string::npos);
  EXPECT_NE(refusal([&] {
              ConnectAs(server_->address() + ";Encrypt=strict");
            }).find("TDS 8"),
            std::string::npos);
  // Allowed keywords reach every connection; a server that cannot encrypt then refuses it.
  odbc_ = db::ReadOdbcChoice({.freetds_keywords = {"Encryption=off"}});
  EXPECT_EQ(ConnectAs(server_->address())->Query("SELECT 1").rows.size(), 1u);
  EXPECT_EQ(refusal([] { db::ReadOdbcChoice({.freetds_keywords = {"DSN=x"}}); }).find("accepted"),
            std::string::npos);
}

}  // namespace
}  // namespace rilo::tds::testing
