#include "jobs/ReminderJob.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "component/Instance.h"
#include "component/JobRun.h"
#include "db/DbError.h"
#include "db/ModSQL.h"
#include "jobs/JobSession.h"
#include "jobs/ReminderText.h"
#include "rilo/automation.h"

namespace rilo::jobs {

namespace {

class ReminderRun {
 public:
  explicit ReminderRun(component::JobRun& run)
      : run_(run), self_(run.self()), db_(self_.context(), run.where()) {}

  void Run() {
    db_.Connect([&] { return db::MainConnString(self_.settings()); });
    db_.Open(
        "open the reminder query",
        [&] { return ReminderQuery(FormatDate(self_.BusinessDate), self_.StoreName); },
        db::CursorType::kKeyset, db::LockType::kOptimistic);

    if (!db_.AtEnd()) {
      Step("write the customer line", [&] {
        text_ = ReminderLine(kCustomerLabel, Column(1)) + std::string(kReminderLineSeparator);
      });
      AddLine("write the telephone line", kPhoneLabel, 2);
      AddLine("write the staff line", kStaffLabel, 3);
      AddLine("write the service line", kServiceLabel, 4);
      Step("write the time line", [&] { text_ += ReminderTimeLine(kTimeLabel, Column(5)); });
      Step("mark the appointment",
           [&] { db_.recordset().Item(std::size_t{0}).SetValue(db::Value(std::int64_t{1})); });
      Step("write the mark back", [&] { WriteBack(); });
    }
    db_.Finish();

    run_.RaiseEvent("raise TipsStart", [&] {
      // Another server marked this appointment between our read and our write: it reports it.
      if (reminded_elsewhere_ || db::IsBlank(text_)) return false;
      std::string str = text_;
      self_.RaiseTipsStart(str);
      return true;
    });
  }

 private:
  template <class Body>
  bool Step(std::string_view step, Body&& body) {
    return run_.Step(step, std::forward<Body>(body));
  }

  const db::Value& Column(std::size_t index) { return db_.recordset().Item(index).GetValue(); }

  void AddLine(std::string_view step, std::string_view label, std::size_t column) {
    Step(step, [&] {
      text_ += ReminderLine(label, Column(column)) + std::string(kReminderLineSeparator);
    });
  }

  // The write-back changes the row only while it still holds the flag we read; any other
  // failure leaves the appointment to be reported again at the next run.
  void WriteBack() {
    try {
      db_.recordset().Update();
    } catch (const db::DbError& e) {
      if (e.kind() == db::DbError::Kind::kRowChanged) reminded_elsewhere_ = true;
      throw;
    }
  }

  component::JobRun& run_;
  component::Instance& self_;
  JobSession db_;
  std::string text_;
  bool reminded_elsewhere_ = false;
};

}  // namespace

void RunReminderJob(component::Instance& self) {
  component::RunTimerJob(self, component::kReminderJob,
                         [](component::JobRun& run) { ReminderRun(run).Run(); });
}

}  // namespace rilo::jobs
