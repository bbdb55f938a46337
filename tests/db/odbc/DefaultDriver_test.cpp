#include "db/odbc/DefaultDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/odbc/OdbcChoice.h"

namespace rilo::db::odbc {
namespace {

TEST(DefaultDriver, TheNewestMicrosoftSqlServerDriverInstalledWins) {
  using List = std::vector<std::string>;
  EXPECT_EQ(BestSqlServerDriver(List{"SQL Server", "ODBC Driver 17 for SQL Server",
                                     "ODBC Driver 18 for SQL Server", "FreeTDS"}),
            "ODBC Driver 18 for SQL Server");
  EXPECT_EQ(BestSqlServerDriver(List{"SQL Server", "odbc driver 17 for sql server"}),
            "odbc driver 17 for sql server");
  // Drivers of other vendors or databases are never guessed at; every Windows has this one.
  EXPECT_EQ(BestSqlServerDriver(List{"ODBC Driver 13 for SQL Server", "SQL Server Native Client 11.0",
                                     "Microsoft Access Driver (*.mdb)"}),
            "SQL Server");
  EXPECT_EQ(BestSqlServerDriver(List{}), "SQL Server");
}

TEST(DefaultDriver, ANamedDriverOverridesTheDefaultUnlessEmpty) {
  const std::string default_driver = ReadOdbcChoice({}).Driver();
  EXPECT_EQ(default_driver, DefaultDriver());
  EXPECT_EQ(ReadOdbcChoice({.driver = "{ODBC Driver 17 for SQL Server}"}).Driver(),
            "ODBC Driver 17 for SQL Server");
  EXPECT_EQ(ReadOdbcChoice({.driver = ""}).Driver(), default_driver);
}

}  // namespace
}  // namespace rilo::db::odbc
