// `rilo-server check` as an operator runs it: settings from a file or standard input, one
// line per check or one JSON document, and the exit code a script can test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "ServerProcess.h"
#include "rilo/SampleChain.h"

namespace rilo::host {
namespace {

using ::testing::HasSubstr;
using testing::RunToEnd;

class CheckCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    schema::SampleChainOptions options;
    options.dir = std::filesystem::path(RILO_TEST_TMPDIR) / "host-check" / info->name();
    std::filesystem::remove_all(options.dir);
    options.sales_per_store = 3;
    chain_ = schema::CreateSampleChain(options);
    settings_file_ = (options.dir / "settings.txt").string();
    std::ofstream(settings_file_) << chain_.settings_string << "\n";
  }

  schema::SampleChain chain_;
  std::string settings_file_;
};

TEST_F(CheckCommand, SampleChainPassesFromFileOrStandardInput) {
  const auto from_file = RunToEnd({"check", "--settings-file", settings_file_, "--store", "中心店"});
  EXPECT_EQ(from_file.exit_code, 0) << from_file.out << from_file.err;
  EXPECT_THAT(from_file.out, HasSubstr("✓ main: store name"));
  EXPECT_THAT(from_file.out, HasSubstr("- main: collation: does not apply"));
  EXPECT_THAT(from_file.out, HasSubstr("0 failed"));

  testing::ServerProcess from_input({"check", "--store", "中心店"});
  from_input.Write(chain_.settings_string);
  from_input.CloseInput();
  EXPECT_EQ(from_input.WaitForExit(std::chrono::seconds(30)), 0);
  EXPECT_THAT(from_input.rest_of_output(), HasSubstr("✓ local: SET IDENTITY_INSERT"));
}

TEST_F(CheckCommand, FailureExitsOneAndJsonNamesIt) {
  const auto run =
      RunToEnd({"check", "--settings-file", settings_file_, "--store", "北城店", "--json"});
  EXPECT_EQ(run.exit_code, 1);
  const auto document = nlohmann::json::parse(run.out);
  EXPECT_EQ(document["passed"], false);
  bool named = false;
  for (const auto& check : document["checks"]) {
    if (check["name"] == "main: store name") {
      named = true;
      EXPECT_EQ(check["result"], "failed");
      EXPECT_THAT(check["fix"].get<std::string>(), HasSubstr("中心店"));
    }
  }
  EXPECT_TRUE(named);
}

TEST_F(CheckCommand, BadUsageExitsTwo) {
  EXPECT_EQ(RunToEnd({"check", "--settings-file", settings_file_}).exit_code, 2);  // no store
  EXPECT_EQ(RunToEnd({"check", "--store", "中心店"}).exit_code, 2);  // empty standard input
  EXPECT_EQ(RunToEnd({"check", "--settings-file", "/no/such/file", "--store", "x"}).exit_code, 2);
}

}  // namespace
}  // namespace rilo::host
