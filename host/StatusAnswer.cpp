#include "StatusAnswer.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <chrono>
#include <nlohmann/json.hpp>

namespace rilo::host {
namespace {

using OrderedJson = nlohmann::ordered_json;
using std::chrono::milliseconds;

std::string_view TimerName(Job job) {
  switch (job) {
    case Job::kDailySummary:
      return "oTimer";
    case Job::kRefresh:
      return "oTimer2";
    case Job::kProgressTicker:
      return "oTimer3";
    case Job::kReminder:
      return "oTimer4";
  }
  return "";
}

std::string_view EventName(Job job) {
  switch (job) {
    case Job::kDailySummary:
      return "ServerStart";
    case Job::kRefresh:
      return "TipsUpdate";
    case Job::kProgressTicker:
      return "WorkProcess";
    case Job::kReminder:
      return "TipsStart";
  }
  return "";
}

// Milliseconds with microseconds as the fraction: a tick's run takes well under one.
double Ms(std::chrono::nanoseconds d) {
  return static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(d).count()) /
         1000.0;
}

std::int64_t WholeMs(std::chrono::nanoseconds d) {
  return std::chrono::duration_cast<milliseconds>(d).count();
}

// "2026-03-08T14:30:00.125Z"
std::string Iso8601(std::chrono::system_clock::time_point t) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(t);
  const auto ms = std::chrono::duration_cast<milliseconds>(t - seconds).count();
  // In UTC whatever the machine's time zone (fmt 9 would write a time_point in local time).
  return fmt::format("{:%FT%T}.{:03}Z", fmt::gmtime(std::chrono::system_clock::to_time_t(seconds)),
                     ms);
}

OrderedJson LastRun(const JobStatusSnapshot& snapshot, const JobRunOutcome& run, Job job) {
  OrderedJson out{{"started", Iso8601(snapshot.WallClock(run.started))},
                  {"started_ms_ago", WholeMs(snapshot.taken - run.started)},
                  {"duration_ms", Ms(run.duration)},
                  {"event_raised", run.event_raised}};
  if (job == Job::kRefresh && run.flag) out["Pd"] = *run.flag;
  out["failures"] = run.failures;
  return out;
}

OrderedJson Failure(const JobStatusSnapshot& snapshot, const JobFailure& failure) {
  OrderedJson out{{"run_started", Iso8601(snapshot.WallClock(failure.run_started))},
                  {"class", FailureClassName(failure.failure_class)},
                  {"where", failure.where},
                  {"message", failure.message}};
  if (!failure.sqlstate.empty()) out["sqlstate"] = failure.sqlstate;
  if (failure.native_code != 0) out["native_code"] = failure.native_code;
  return out;
}

OrderedJson JobEntry(const JobStatusSnapshot& snapshot, const JobStatus& status) {
  OrderedJson out{{"job", JobName(status.job)},
                  {"timer", TimerName(status.job)},
                  {"event", EventName(status.job)},
                  {"armed", status.armed},
                  {"period_ms", status.period.count()}};
  if (status.next_due) {
    out["due_in_ms"] = WholeMs(*status.next_due - snapshot.taken);
    out["next_due"] = Iso8601(snapshot.WallClock(*status.next_due));
  }
  out["running"] = status.running;
  out["runs"] = status.runs;
  out["last_run"] = status.last_run ? LastRun(snapshot, *status.last_run, status.job) : nullptr;
  out["last_failure"] =
      status.last_failure ? Failure(snapshot, *status.last_failure) : OrderedJson(nullptr);
  return out;
}

}  // namespace

std::string EncodeStatus(std::string_view instance, const JobStatusSnapshot& snapshot) {
  OrderedJson jobs = OrderedJson::array();
  for (const JobStatus& status : snapshot.jobs) jobs.push_back(JobEntry(snapshot, status));
  const OrderedJson answer{{"return", "Status"},
                           {"instance", instance},
                           {"at", Iso8601(snapshot.taken_wall)},
                           {"jobs", std::move(jobs)}};
  return answer.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

}  // namespace rilo::host
