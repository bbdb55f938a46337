// A test server on a free loopback port over an engine folder of its own, and ODBC sessions to
// it through FreeTDS; or, for the jobs, a test server over a store database and a ClsRiloSever
// on a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/access/OpenSession.h"
#include "jobs/StoreDatabase.h"
#include "support/VirtualServer.h"
#include "tds/TdsServer.h"

namespace rilo::tds::testing {

class TdsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(RILO_TEST_TMPDIR) / "tds" /
           (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }

  /// An empty database D (an empty file is an empty SQLite database).
  void CreateDatabase(const std::string& database) const {
    std::ofstream(dir_ / (database + ".db"), std::ios::binary | std::ios::trunc);
  }

  /// A session on the engine folder directly, to set up and check what the server sees.
  std::unique_ptr<db::Session> Direct(const std::string& database) const {
    return db::OpenSession(db::ConnectionString::Parse(
        "Data Source=" + db::QuoteConnectionValue("sqlite:" + dir_.string()) +
        ";Database=" + db::QuoteConnectionValue(database)));
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  void StartServer(TdsServerOptions options = {}) {
    options.engine_dir = dir_;
    server_ = std::make_unique<TdsServer>(std::move(options));
  }

  std::string ConnectionText(const std::string& database,
                             const std::string& password = "rilo-secret") const {
    return "Provider=SQLOLEDB;Data Source=" + server_->address() + ";Initial Catalog=" + database +
           ";User ID=rilo;Password=" + password + ";Connect Timeout=5";
  }

  std::unique_ptr<db::Session> Connect(const std::string& database,
                                       const std::string& password = "rilo-secret") const {
    return db::OpenSession(db::ConnectionString::Parse(ConnectionText(database, password)));
  }

  std::filesystem::path dir_;
  std::unique_ptr<TdsServer> server_;
};

class TdsJobsFixture : public ::testing::Test {
 protected:
  void Serve(TdsServerOptions options = {}) {
    options.engine_dir = db_.file().parent_path();
    server_ = std::make_unique<TdsServer>(std::move(options));
  }
  /// The main-server part of the settings string, for the served store database.
  std::string Settings(const std::string& password = "rilo-secret") const {
    return server_->address() + "｜rilo｜" + password + "｜HQ";
  }
  std::vector<std::string> Texts(rilo::testing::EventKind kind) const {
    std::vector<std::string> out;
    for (const auto& e : vs_.listener->Of(kind)) out.push_back(e.text);
    return out;
  }
  /// The server has closed every engine session of the jobs' connections, so the test's own
  /// reads of the file meet no lock.
  void SettleServer() { ASSERT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5))); }

  void TearDown() override {
    if (server_) server_->Stop();
  }

  rilo::testing::StoreDatabase db_;
  rilo::testing::VirtualServer vs_;
  std::unique_ptr<TdsServer> server_;
};

}  // namespace rilo::tds::testing
