#include "jobs/DailySummaryJob.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "component/Instance.h"
#include "component/JobRun.h"
#include "db/ModSQL.h"
#include "jobs/JobSession.h"
#include "jobs/PairList.h"
#include "jobs/SummaryQueries.h"
#include "rilo/automation.h"

namespace rilo::jobs {

namespace {

class SummaryRun {
 public:
  explicit SummaryRun(component::JobRun& run)
      : run_(run), self_(run.self()), db_(self_.context(), run.where()) {}

  void Run() {
    db_.Connect([&] { return db::MainConnString(self_.settings()); });
    db_.Open(
        "open the category query", [] { return std::string(kCategoryQuery); },
        db::CursorType::kKeyset, db::LockType::kReadOnly);

    std::string summary = "Select ";
    while (!db_.AtEnd()) {
      Step("add a category column",
           [&] { summary += CategoryColumn(db_.recordset().Item("服务类别").GetValue()); });
      if (!db_.MoveNext()) break;
      YieldAndPause();
    }
    Step("finish the summary query",
         [&] { summary += SummaryQueryTail(FormatDate(self_.BusinessDate), self_.StoreName); });

    db_.Open(
        "open the summary query", [&] { return summary; }, db::CursorType::kKeyset,
        db::LockType::kReadOnly);
    ReadPairs();
    db_.Open(
        "open the membership query",
        [&] { return MembershipQuery(FormatDate(self_.BusinessDate), self_.StoreName); },
        db::CursorType::kKeyset, db::LockType::kReadOnly);
    ReadPairs();
    db_.Finish();

    run_.RaiseEvent("raise ServerStart", [&] {
      if (db::IsBlank(pairs_)) return false;
      std::string str = pairs_;
      self_.RaiseServerStart(str);
      return true;
    });
  }

 private:
  template <class Body>
  bool Step(std::string_view step, Body&& body) {
    return run_.Step(step, std::forward<Body>(body));
  }

  // The one row of an aggregate query: every column becomes a pair.
  void ReadPairs() {
    if (db_.AtEnd()) return;
    const std::size_t count = db_.FieldCount();
    for (std::size_t i = 0; i < count; ++i) {
      Step("add a pair", [&] {
        const db::Field field = db_.recordset().Item(i);
        pairs_ = WithPair(pairs_, field.Name(), field.GetValue());
      });
      YieldAndPause();
    }
  }

  void YieldAndPause() {
    Step("yield", [&] { self_.Yield(); });
    Step("pause", [&] { self_.Sleep(std::chrono::milliseconds(1)); });
  }

  component::JobRun& run_;
  component::Instance& self_;
  JobSession db_;
  std::string pairs_;
};

}  // namespace

void RunDailySummaryJob(component::Instance& self) {
  component::RunTimerJob(self, component::kDailySummaryJob,
                         [](component::JobRun& run) { SummaryRun(run).Run(); });
}

}  // namespace rilo::jobs
