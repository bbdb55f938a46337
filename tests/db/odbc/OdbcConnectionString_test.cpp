#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/odbc/OdbcEngine.h"

namespace rilo::db {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kMsDriver = "ODBC Driver 18 for SQL Server";

// Each test starts from the default driver choice.
class OdbcConnectionStringTest : public ::testing::Test {
 protected:
  void ChooseDriver(const std::string& name_or_path) {
    odbc_ = ReadOdbcChoice({.driver = name_or_path});
  }
  std::string ChosenDriver() const { return odbc_.Driver(); }

  std::string Map(const std::string& ado) const {
    return ToOdbcConnectionString(ConnectionString::Parse(ado), odbc_);
  }

  DbError MapFailure(const std::string& ado) const {
    try {
      Map(ado);
    } catch (const DbError& error) {
      return error;
    }
    ADD_FAILURE() << "mapped without complaint: " << ado;
    return DbError(DbError::Kind::kEngine, "");
  }

 private:
  OdbcChoice odbc_;
};

TEST_F(OdbcConnectionStringTest, ServerStringMapsToFreeTdsByDefault) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows defaults to Microsoft's driver";
#endif
  EXPECT_EQ(
      Map("provider='SQLOLEDB';Data Source=srv01;Database=StoreDB;UID=clerk;PWD=;"
          "pooling=true;connection lifetime=0;max pool size=512; Min Pool Size=1;"),
      "Driver=" + ChosenDriver() + ";Server=srv01;Database=StoreDB;UID=clerk;PWD=;TDS_Version=7.4");
  EXPECT_THAT(ChosenDriver(), StartsWith("/usr/lib/"));
  EXPECT_THAT(ChosenDriver(), HasSubstr("/odbc/libtdsodbc.so"));
}

TEST_F(OdbcConnectionStringTest, ServerFormsPassThrough) {
  ChooseDriver(kMsDriver);
  EXPECT_THAT(Map("Data Source=srv01\\SQLEXPRESS;Database=d"),
              HasSubstr(";Server=srv01\\SQLEXPRESS;"));
  EXPECT_THAT(Map("Data Source=10.0.0.5,1433;Database=d"), HasSubstr(";Server=10.0.0.5,1433;"));
  EXPECT_THAT(Map("Data Source=门店服务器;Database=门店库"),
              HasSubstr(";Server=门店服务器;Database=门店库"));
}

TEST_F(OdbcConnectionStringTest, WindowsServerFormsBecomeFreeTdsServerAndPort) {
  ChooseDriver("FreeTDS");  // named, since Windows defaults to Microsoft's driver
  EXPECT_THAT(Map("Data Source=(local)\\SQLEXPRESS;Database=d"),
              HasSubstr(";Server=127.0.0.1\\SQLEXPRESS;"));
  EXPECT_THAT(Map("Data Source=.\\SQLEXPRESS;Database=d"),
              HasSubstr(";Server=127.0.0.1\\SQLEXPRESS;"));
  EXPECT_THAT(Map("Data Source=srv01\\门店;Database=d"), HasSubstr(";Server=srv01\\门店;"));
  // A port needs no instance lookup; FreeTDS takes one or the other.
  const std::string with_port = Map("Data Source=tcp:srv01\\INST,1500;Database=d");
  EXPECT_THAT(with_port, HasSubstr(";Server=srv01;"));
  EXPECT_THAT(with_port, HasSubstr(";Port=1500"));
  EXPECT_EQ(MapFailure("Data Source=np:\\\\srv01\\pipe\\sql\\query").kind(),
            DbError::Kind::kUsage);
  EXPECT_EQ(MapFailure("Data Source=srv01,port;Database=d").kind(), DbError::Kind::kUsage);
}

TEST_F(OdbcConnectionStringTest, AdoSynonymsMapAndTheLastValueWins) {
  ChooseDriver(kMsDriver);
  EXPECT_EQ(Map("Server=a;Initial Catalog=db;User ID=u;Password=p;Data Source=b"),
            std::string("Driver=") + kMsDriver + ";Server=b;Database=db;UID=u;PWD=p");
}

TEST_F(OdbcConnectionStringTest, HostileValuesStayOneValue) {
  ChooseDriver(kMsDriver);
  const std::string prefix = std::string("Driver=") + kMsDriver + ";Server=s;PWD=";
  EXPECT_EQ(Map("Data Source=s;PWD=\"a;Driver=/tmp/evil.so\""), prefix + "{a;Driver=/tmp/evil.so}");
  EXPECT_EQ(Map("Data Source=s;PWD=\"x=y\""), prefix + "{x=y}");
  EXPECT_EQ(Map("Data Source=s;PWD=\"a}b;c\""), prefix + "{a}}b;c}");
  EXPECT_EQ(Map("Data Source=s;PWD=\"{abc\""), prefix + "{{abc}");
  EXPECT_EQ(Map("Data Source=s;PWD=\"  pw \""), prefix + "{  pw }");
  EXPECT_EQ(Map("Data Source=s;PWD='say \"hi\"'"), prefix + "say \"hi\"");
  EXPECT_EQ(Map("Data Source=s;PWD=\"it's\""), prefix + "it's");
  EXPECT_EQ(Map("Data Source=s;PWD=密码123"), prefix + "密码123");
}

TEST_F(OdbcConnectionStringTest, FreeTdsRefusesABraceItWouldMisread) {
#ifdef _WIN32
  ChooseDriver("FreeTDS");  // the name its Windows build registers
#endif
  const DbError error = MapFailure("Data Source=s;UID=u;PWD=\"p}w;Server=evil\"");
  EXPECT_EQ(error.kind(), DbError::Kind::kUsage);
  EXPECT_THAT(error.what(), HasSubstr("PWD"));
  EXPECT_THAT(error.what(), Not(HasSubstr("p}w")));
  // Other special characters are braced as usual.
  EXPECT_THAT(Map("Data Source=s;PWD=\"p;w={x\""), HasSubstr(";PWD={p;w={x};"));
}

TEST_F(OdbcConnectionStringTest, PoolingAndProviderAreDropped) {
  const std::string odbc =
      Map("provider='SQLOLEDB';Data Source=s;Database=d;UID=u;PWD=p;pooling=true;connection "
          "lifetime=0;max pool size=512; Min Pool Size=1;");
  for (const char* dropped : {"provider", "SQLOLEDB", "pooling", "lifetime", "pool size", "Pool"}) {
    EXPECT_THAT(odbc, Not(HasSubstr(dropped)));
  }
}

TEST_F(OdbcConnectionStringTest, DriverChoice) {
  ChooseDriver("{ODBC Driver 18 for SQL Server}");
  EXPECT_EQ(ChosenDriver(), kMsDriver);
  EXPECT_THAT(Map("Data Source=s"), Not(HasSubstr("TDS_Version")));

  // A driver the connection string names wins over the chosen one.
  EXPECT_THAT(Map("Driver={FreeTDS};Data Source=s"), StartsWith("Driver=FreeTDS;Server=s;"));
  EXPECT_THAT(Map("Driver={FreeTDS};Data Source=s"), HasSubstr("TDS_Version=7.4"));

  // A TDS version the string gives is kept, not doubled.
  ChooseDriver("");
  const std::string odbc = Map("Data Source=s;TDS_Version=7.3");
  EXPECT_THAT(odbc, HasSubstr("TDS_Version=7.3"));
  EXPECT_THAT(odbc, Not(HasSubstr("7.4")));
}

TEST_F(OdbcConnectionStringTest, OtherKeywordsPassOnButDriverManagerOnesAreRefused) {
  ChooseDriver(kMsDriver);
  EXPECT_THAT(Map("Data Source=s;TrustServerCertificate=yes;Encrypt=yes;Encrypt=no"),
              HasSubstr(";TrustServerCertificate=yes;Encrypt=no"));
  for (const char* keyword : {"DSN", "FileDSN", "SAVEFILE", "DMConnAttr", "DMEnvAttr"}) {
    EXPECT_EQ(MapFailure(std::string("Data Source=s;") + keyword + "=x").kind(),
              DbError::Kind::kUsage)
        << keyword;
  }
  EXPECT_EQ(MapFailure("Data Source=s;{odd}=x").kind(), DbError::Kind::kUsage);
}

TEST_F(OdbcConnectionStringTest, ConnectTimeoutIsAnAttributeNotAKeyword) {
  EXPECT_THAT(Map("Data Source=s;Connect Timeout=5"), Not(HasSubstr("Timeout")));
  EXPECT_EQ(MapFailure("Data Source=s;Connect Timeout=soon").kind(), DbError::Kind::kUsage);
  EXPECT_EQ(MapFailure("Data Source=s;Connection Timeout=-1").kind(), DbError::Kind::kUsage);
}

}  // namespace
}  // namespace rilo::db
