// Sessions over the SQLite ODBC driver, each test in its own temporary folder: the ODBC
// mechanics without a database server.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/access/SessionOptions.h"
#include "db/odbc/OdbcEngine.h"

namespace rilo::db::testing {

class SqliteOdbcFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::path(RILO_TEST_TMPDIR) / "odbc" /
              (std::string(test->test_suite_name()) + "." + test->name() + "." +
               std::to_string(getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }

  void TearDown() override { std::filesystem::remove_all(folder_); }

  /// The connection string the server builds, with the database file as Database.
  std::string ConnectionText(const std::string& database = "store") const {
    return "provider='SQLOLEDB';Data Source=local;Database=" +
           (folder_ / (database + ".db")).string() +
           ";UID=clerk;PWD=secret;pooling=true;connection lifetime=0;max pool size=512; Min Pool "
           "Size=1;";
  }

  std::unique_ptr<Session> Open(const std::string& database = "store") const {
    return OpenOdbcSession(ConnectionString::Parse(ConnectionText(database)), odbc_);
  }

  const std::filesystem::path& folder() const { return folder_; }

  /// Options for a Connection that reaches its database through the same driver.
  std::shared_ptr<SessionOptions> Options() const {
    auto options = std::make_shared<SessionOptions>();
    options->odbc = odbc_;
    return options;
  }

  /// The SQLite ODBC driver stands in for SQL Server's.
  const OdbcChoice odbc_{RILO_SQLITE_ODBC_DRIVER, {}};

 private:
  std::filesystem::path folder_;
};

}  // namespace rilo::db::testing
