#include "component/JobRecords.h"

#include <exception>
#include <string>

#include "component/Instance.h"
#include "component/JobRun.h"
#include "db/DbError.h"

namespace rilo {

std::string_view JobName(Job job) {
  switch (job) {
    case Job::kDailySummary:
      return "daily summary job";
    case Job::kRefresh:
      return "refresh job";
    case Job::kProgressTicker:
      return "progress ticker";
    case Job::kReminder:
      return "reminder job";
  }
  return "job";
}

std::string_view FailureClassName(FailureClass failure_class) {
  switch (failure_class) {
    case FailureClass::kDatabase:
      return "database";
    case FailureClass::kRowChanged:
      return "row changed";
    case FailureClass::kUsage:
      return "usage";
    case FailureClass::kRefused:
      return "refused";
    case FailureClass::kOther:
      return "other";
  }
  return "other";
}

}  // namespace rilo

namespace rilo::component {
namespace {

void Classify(JobFailure& failure) {
  const std::exception_ptr in_flight = std::current_exception();
  if (!in_flight) {
    failure.failure_class = FailureClass::kRefused;
    return;
  }
  try {
    std::rethrow_exception(in_flight);
  } catch (const db::DbError& e) {
    switch (e.kind()) {
      case db::DbError::Kind::kEngine:
        failure.failure_class = FailureClass::kDatabase;
        break;
      case db::DbError::Kind::kRowChanged:
        failure.failure_class = FailureClass::kRowChanged;
        break;
      case db::DbError::Kind::kUsage:
        failure.failure_class = FailureClass::kUsage;
        break;
    }
    failure.sqlstate = e.sqlstate();
    failure.native_code = e.native_code();
  } catch (...) {
    failure.failure_class = FailureClass::kOther;
  }
}

// The timer's state; an unbound timer (the instance is being let go) is off.
void ReadTimer(const TimerRef& timer, JobStatus& status) {
  if (!timer.IsBound()) return;
  status.period = std::chrono::milliseconds(timer.Interval());
  status.armed = timer.Enabled() && status.period.count() > 0;
  if (status.armed) status.next_due = timer.NextDue();
}

}  // namespace

void RunFailures::Note(std::string_view where, std::string_view message) noexcept {
  ++count;
  if (first) return;
  try {
    JobFailure failure;
    failure.where = where;
    failure.message = message;
    Classify(failure);
    first = std::move(failure);
  } catch (...) {
    // Out of memory while recording: Status misses this failure, the run goes on.
  }
}

JobStatusSnapshot SnapshotJobStatus(const Instance& self) {
  JobStatusSnapshot snapshot;
  snapshot.taken = self.context().loop.clock().Now();
  snapshot.taken_wall = std::chrono::system_clock::now();
  for (const TimerJob* job : kTimerJobs) {
    JobStatus status;
    status.job = job->job;
    ReadTimer(self.*job->timer, status);
    const JobRecord& record = self.job_records()[job->job];
    status.running = record.running > 0;
    status.runs = record.runs;
    status.last_run = record.last_run;
    status.last_failure = record.last_failure;
    snapshot.jobs.push_back(std::move(status));
  }
  return snapshot;
}

}  // namespace rilo::component
