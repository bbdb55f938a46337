#include "refresh/SameDatabase.h"

#include <gtest/gtest.h>

#include <string>

namespace rilo::refresh {
namespace {

db::DbSettings SqlServerSettings(std::string main_server, std::string main_database,
                                 std::string local_server, std::string local_database) {
  db::DbSettings s;
  s.MainServer = std::move(main_server);
  s.MainDatabase = std::move(main_database);
  s.LocalServer = std::move(local_server);
  s.LocalDatabase = std::move(local_database);
  return s;
}

TEST(SameDatabase, OneSqlServerDatabaseWrittenTwoWaysIsRecognised) {
  struct Case {
    const char* main_server;
    const char* main_database;
    const char* local_server;
    const char* local_database;
  };
  for (const Case& c : {Case{"srv01", "HQ", "SRV01", "hq"},
                        Case{"(local)", "HQ", "localhost", "HQ"},
                        Case{".", "HQ", "127.0.0.1,1433", "HQ"},
                        Case{"tcp:srv01,1433", "HQ", "srv01", "HQ"},
                        Case{"srv01\\MSSQLSERVER", "HQ", " srv01 ", "HQ"},
                        Case{"srv01\\Shop", "Data", "SRV01\\shop", "DATA"}}) {
    SCOPED_TRACE(std::string(c.main_server) + " / " + c.local_server);
    const auto why = SameDatabaseReason(
        SqlServerSettings(c.main_server, c.main_database, c.local_server, c.local_database));
    ASSERT_TRUE(why.has_value());
    EXPECT_NE(why->find(c.local_database), std::string::npos);
  }
  for (const Case& c : {Case{"srv01", "HQ", "srv02", "HQ"}, Case{"srv01", "HQ", "srv01", "Store"},
                        Case{"srv01\\A", "HQ", "srv01\\B", "HQ"},
                        Case{"srv01,1433", "HQ", "srv01,1444", "HQ"},
                        Case{"sqlite:/tmp/a", "HQ", "srv01", "HQ"}}) {
    SCOPED_TRACE(std::string(c.main_server) + " / " + c.local_server);
    EXPECT_FALSE(SameDatabaseReason(
        SqlServerSettings(c.main_server, c.main_database, c.local_server, c.local_database)));
  }
}

}  // namespace
}  // namespace rilo::refresh
