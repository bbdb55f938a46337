#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/odbc/OdbcEngine.h"

namespace rilo::db {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A loopback port nothing listens on: bound by the system, then released.
int ClosedLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(fd);
  return bound ? ntohs(address.sin_port) : 1;
}

// Loading the default driver by its path works without any odbcinst.ini entry: the failure
// comes from FreeTDS itself, not from the driver manager.
TEST(FreeTdsDriver, ClosedPortFailsWithAConnectionSqlstate) {
  const std::string ado = "provider='SQLOLEDB';Data Source=127.0.0.1," +
                          std::to_string(ClosedLoopbackPort()) +
                          ";Database=门店;UID=sa;PWD=Secret#1;pooling=true;Connect Timeout=2";
  try {
    OpenOdbcSession(ConnectionString::Parse(ado), OdbcChoice{});
    FAIL() << "connected to a closed port";
  } catch (const DbError& error) {
    EXPECT_EQ(error.kind(), DbError::Kind::kEngine);
    EXPECT_THAT(error.sqlstate(), ::testing::StartsWith("08"));
    EXPECT_THAT(error.what(), HasSubstr("[FreeTDS]"));
    EXPECT_THAT(error.what(), HasSubstr("门店"));
    EXPECT_THAT(error.what(), Not(HasSubstr("Secret#1")));
  }
}

}  // namespace
}  // namespace rilo::db
