// The reminder's write-back against servers whose settings or triggers change what a
// statement reports: it must still learn that exactly its one row changed.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "jobs/StoreDatabase.h"
#include "rilo/automation.h"
#include "support/VirtualServer.h"
#include "tds/TdsFixture.h"

namespace rilo::tds::testing {
namespace {

using namespace std::chrono_literals;
using rilo::testing::Appointment;
using rilo::testing::EventKind;

class TdsWriteBack : public TdsJobsFixture {
 protected:
  /// Runs the reminder job twice against a server made with `options`; the reminders raised.
  std::vector<std::string> RemindTwice(TdsServerOptions options) {
    Serve(std::move(options));
    auto server = vs_.Create();
    server->StartServer(ParseAutomationDate("2025-03-08").value(), "中心店", Settings());
    vs_.RunFor(130s);
    EXPECT_TRUE(server_->WaitUntilIdle(std::chrono::seconds(5)));
    return Texts(EventKind::kTipsStart);
  }
};

TEST_F(TdsWriteBack, RowCountHoldsWithNoCountInTheServersUserOptions) {
  db_.AddStaff("A03");
  const auto first = db_.AddAppointment(Appointment{});
  Appointment later;
  later.when = "2025-03-10 09:00:00";
  const auto second = db_.AddAppointment(later);

  TdsServerOptions nocount;
  nocount.user_nocount = true;
  EXPECT_EQ(RemindTwice(nocount).size(), 2u);
  EXPECT_EQ(db_.Reminded(first), "1");
  EXPECT_EQ(db_.Reminded(second), "1");
}

TEST_F(TdsWriteBack, RowCountHoldsWithATriggerThatCountsItsOwnRows) {
  db_.AddStaff("A03");
  const auto first = db_.AddAppointment(Appointment{});
  Appointment later;
  later.when = "2025-03-10 09:00:00";
  const auto second = db_.AddAppointment(later);

  TdsServerOptions trigger;
  trigger.trigger_table = "服务预约";
  EXPECT_EQ(RemindTwice(trigger).size(), 2u);
  EXPECT_EQ(db_.Reminded(first), "1");
  EXPECT_EQ(db_.Reminded(second), "1");
}

}  // namespace
}  // namespace rilo::tds::testing
