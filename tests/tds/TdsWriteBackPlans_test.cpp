// The reminder's write-back over the production path asks the server about the query's
// columns and keys once per server thread, and again only after the schema moved under it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "jobs/StoreDatabase.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"
#include "tds/TdsServer.h"

namespace rilo::tds::testing {
namespace {

using namespace std::chrono_literals;
using rilo::testing::Appointment;
using rilo::testing::EventKind;

TEST(TdsWriteBackPlans, LaterRunsSendOnlyTheQueryAndTheUpdateUntilTheSchemaChanges) {
  rilo::testing::StoreDatabase db;
  db.AddStaff("A03");
  for (const char* when : {"2025-03-09 09:00:00", "2025-03-09 10:00:00", "2025-03-09 11:00:00"}) {
    Appointment a;
    a.when = when;
    db.AddAppointment(a);
  }
  TdsServerOptions options;
  options.engine_dir = db.file().parent_path();
  TdsServer server(options);
  rilo::testing::VirtualServer vs;
  auto host = vs.Create();
  const auto run = [&] {
    const std::size_t before = server.statements().size();
    vs.RunFor(60s);
    EXPECT_TRUE(server.WaitUntilIdle(5s));
    const std::vector<std::string> all = server.statements();
    return std::vector<std::string>(all.begin() + static_cast<long>(before), all.end());
  };

  host->StartServer(*ParseAutomationDate("2025-03-08"), "中心店",
                    server.address() + "｜rilo｜rilo-secret｜HQ", 0x7FFFFFFF);
  const auto first = run();
  const auto second = run();
  ASSERT_EQ(second.size(), 2u);
  EXPECT_TRUE(second[1].starts_with("UPDATE [服务预约]")) << second[1];
  // The first run asked more: what the query returns and where it comes from.
  ASSERT_GT(first.size(), second.size());
  EXPECT_EQ(first[first.size() - 2], second[0]);

  // The key column is renamed under the kept plan: that run fails and drops it, the next
  // one plans afresh and marks the last appointment.
  db.Exec("ALTER TABLE 服务预约 RENAME COLUMN ID TO 编号");
  run();
  const auto replanned = run();
  EXPECT_GT(replanned.size(), 2u);
  server.Stop();

  const auto tips = vs.listener->Of(EventKind::kTipsStart);
  ASSERT_EQ(tips.size(), 3u);  // the failed run could not read, so it reported nothing
  EXPECT_NE(tips[2].text.find("2025-03-09 11:00"), std::string::npos) << tips[2].text;
  EXPECT_EQ(db.Column("SELECT count(*) FROM 服务预约 WHERE 预约提醒 = 1").at(0), "3");
}

}  // namespace
}  // namespace rilo::tds::testing
