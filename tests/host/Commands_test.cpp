// The program's command line: usage, exit codes, schema and the demo.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "ServerProcess.h"

namespace rilo::host {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::RunToEnd;

TEST(Commands, VersionAndHelpExitZero) {
  const auto version = RunToEnd({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_THAT(version.out, ::testing::ContainsRegex("^rilo-server [0-9]+\\.[0-9]+\\.[0-9]+"));
  for (const char* command : {"serve", "demo", "schema"}) {
    const auto help = RunToEnd({command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << command;
    EXPECT_THAT(help.out, HasSubstr("Usage")) << command;
  }
  EXPECT_THAT(RunToEnd({"serve", "--help"}).out, HasSubstr("--odbc-driver"));
  EXPECT_THAT(RunToEnd({"--help"}).out, HasSubstr("demo"));
}

TEST(Commands, BadUsageExitsTwo) {
  EXPECT_EQ(RunToEnd({}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"launch"}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"serve", "--no-such-option"}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"schema"}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"schema", "--engine", "oracle"}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"demo", "--seconds", "-1"}).exit_code, 2);
  EXPECT_EQ(RunToEnd({"demo", "--interval", "0"}).exit_code, 2);
}

TEST(Commands, SchemaPrintsTheTablesForEitherEngine) {
  const auto sqlite = RunToEnd({"schema", "--engine", "sqlite"});
  EXPECT_EQ(sqlite.exit_code, 0);
  EXPECT_THAT(sqlite.out, HasSubstr("CREATE TABLE"));
  EXPECT_THAT(sqlite.out, HasSubstr("服务预约"));
  const auto mssql = RunToEnd({"schema", "--engine", "mssql"});
  EXPECT_EQ(mssql.exit_code, 0);
  EXPECT_THAT(mssql.out, HasSubstr("GO"));
  EXPECT_NE(sqlite.out, mssql.out);
}

TEST(Commands, DemoShowsTheEventsAndEndsByItself) {
  const auto dir = std::filesystem::path(RILO_TEST_TMPDIR) / "host" / "demo";
  std::filesystem::remove_all(dir);
  const auto demo = RunToEnd({"demo", "--seconds", "4", "--interval", "0.5", "--dir", dir.string()},
                             std::chrono::seconds(60));
  EXPECT_EQ(demo.exit_code, 0) << demo.err;
  EXPECT_THAT(demo.out, HasSubstr(dir.string()));
  EXPECT_THAT(demo.out, HasSubstr("Takings of the business date (ServerStart)"));
  EXPECT_THAT(demo.out, HasSubstr("商品销售"));
  EXPECT_THAT(demo.out, HasSubstr("Master-data refresh (TipsUpdate): succeeded"));
  EXPECT_THAT(demo.out, HasSubstr("Progress ticker (WorkProcess) running"));
  EXPECT_THAT(demo.out, HasSubstr("Demo over after"));
  EXPECT_THAT(demo.out, Not(HasSubstr("\r")));  // not a terminal: plain lines
  EXPECT_TRUE(std::filesystem::exists(dir / "HQ.db"));
}

TEST(Commands, DemoThatCannotCreateItsFolderFailsWithOne) {
  const auto demo = RunToEnd({"demo", "--seconds", "1", "--dir", "/dev/null/demo"});
  EXPECT_EQ(demo.exit_code, 1);
  EXPECT_THAT(demo.err, HasSubstr("rilo-server:"));
}

}  // namespace
}  // namespace rilo::host
