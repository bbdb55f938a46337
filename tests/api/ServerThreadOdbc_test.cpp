// Two server threads in one process, each with its own ODBC driver and statement hook: what one
// chooses or watches never reaches the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/StatementHook.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"

namespace rilo {
namespace {

using namespace std::chrono_literals;

// A server thread running the daily summary of a store on SQL Server `server_name`, reached
// through `driver`, a library that does not exist: every connection fails in the driver
// manager. Its hook records the connections it opens.
struct StoreThread {
  StoreThread(const std::string& server_name, const std::string& driver)
      : sink(std::make_shared<testing::RecordingSink>()),
        vs(sink, {.driver = driver}),
        hook(vs.statement_hook(),
             [this](db::StatementKind kind, std::string_view text) {
               if (kind == db::StatementKind::kOpen) opened.emplace_back(text);
             }),
        server(vs.Create()) {
    const std::string sep = "\xEF\xBD\x9C";  // U+FF5C, between the settings' parts
    server->StartServer(ParseAutomationDate("2026-03-08").value(), "Riverside",
                        server_name + sep + "clerk" + sep + "pw" + sep + "Shop", 1000);
  }

  bool Diagnosed(std::string_view text) const {
    return std::ranges::any_of(sink->lines, [&](const testing::RecordingSink::Line& line) {
      return line.message.find(text) != std::string::npos;
    });
  }

  std::shared_ptr<testing::RecordingSink> sink;
  testing::VirtualServer vs;
  std::vector<std::string> opened;
  db::ScopedStatementHook hook;
  std::shared_ptr<ClsRiloSever> server;
};

TEST(ServerThreadOdbc, TwoThreadsKeepTheirOwnDriverAndStatementHook) {
  StoreThread a("server-a", "/nonexistent/rilo-driver-a.so");
  StoreThread b("server-b", "/nonexistent/rilo-driver-b.so");
  a.vs.RunFor(1500ms);
  b.vs.RunFor(1500ms);

  ASSERT_FALSE(a.opened.empty());
  ASSERT_FALSE(b.opened.empty());
  for (const std::string& text : a.opened) {
    EXPECT_NE(text.find("Data Source=server-a;"), std::string::npos) << text;
  }
  for (const std::string& text : b.opened) {
    EXPECT_NE(text.find("Data Source=server-b;"), std::string::npos) << text;
  }
#ifndef _WIN32
  // unixODBC names the driver library it could not load.
  EXPECT_TRUE(a.Diagnosed("rilo-driver-a.so"));
  EXPECT_FALSE(a.Diagnosed("rilo-driver-b.so"));
  EXPECT_TRUE(b.Diagnosed("rilo-driver-b.so"));
  EXPECT_FALSE(b.Diagnosed("rilo-driver-a.so"));
#endif
}

}  // namespace
}  // namespace rilo
