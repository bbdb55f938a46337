// What an operator can ask of a running ClsRiloSever: each timer job's state and the outcome
// of its last run. Kept in memory only, like everything else of the instance.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rilo/Clock.h"

namespace rilo {

/// The four timer jobs of an instance, in the order of their timers oTimer to oTimer4.
enum class Job { kDailySummary, kRefresh, kProgressTicker, kReminder };

/// "daily summary job", "refresh job", "progress ticker", "reminder job".
std::string_view JobName(Job job);

/// What kind of failure it was.
enum class FailureClass {
  kDatabase,    // the database refused or failed (SQL error, login refused, server unreachable)
  kRowChanged,  // a write-back found its row changed by someone else; nothing was written
  kUsage,       // a step could not run because an earlier one had failed (no connection, ...)
  kRefused,     // the run refused to start its work (a refresh onto its own source, a lock held)
  kOther,       // anything else (a timer refusing its period, a listener that threw, ...)
};

/// "database", "row changed", "usage", "refused", "other".
std::string_view FailureClassName(FailureClass failure_class);

struct JobFailure {
  /// When the run that failed started, on the server thread's clock.
  Clock::TimePoint run_started{};
  FailureClass failure_class = FailureClass::kOther;
  /// The job or routine that failed ("reminder job", "RefreshMasterData").
  std::string where;
  /// The step and the database's own message, as the diagnostics would write it; passwords
  /// masked.
  std::string message;
  /// The database's SQLSTATE and native error number, when it gave them.
  std::string sqlstate;
  long native_code = 0;
};

struct JobRunOutcome {
  /// On the server thread's clock; see JobStatusSnapshot::WallClock.
  Clock::TimePoint started{};
  std::chrono::nanoseconds duration{};
  /// Whether the run raised its event (the summary and the reminder raise only a non-blank
  /// text).
  bool event_raised = false;
  /// The refresh job only: the Pd that TipsUpdate carried.
  std::optional<bool> flag;
  /// How many failures the run met (each skipped step or failed routine counts once).
  std::uint32_t failures = 0;
};

struct JobStatus {
  Job job = Job::kDailySummary;
  /// Enabled with a period above 0: it will tick. A job's own timer is off while it runs.
  bool armed = false;
  std::chrono::milliseconds period{0};
  /// When armed: the moment of the next tick, on the server thread's clock.
  std::optional<Clock::TimePoint> next_due;
  /// A run has started and not ended (it waits in a yield or on the database).
  bool running = false;
  /// Completed runs since the instance was created.
  std::uint64_t runs = 0;
  std::optional<JobRunOutcome> last_run;
  /// The first failure of the latest run that had one; it stays after later runs succeed,
  /// so compare its run_started with last_run->started.
  std::optional<JobFailure> last_failure;
};

struct JobStatusSnapshot {
  /// The moment the snapshot was taken, on the server thread's clock and on the wall clock.
  Clock::TimePoint taken{};
  std::chrono::system_clock::time_point taken_wall{};
  /// One entry per job, in the order of Job.
  std::vector<JobStatus> jobs;

  /// A time of the server thread's clock as wall-clock time, counted back or forward from
  /// the moment the snapshot was taken. The server runs on a steady clock (a virtual one in
  /// tests), so this is how long ago something happened, put on today's calendar.
  std::chrono::system_clock::time_point WallClock(Clock::TimePoint t) const {
    return taken_wall + std::chrono::duration_cast<std::chrono::system_clock::duration>(t - taken);
  }
  const JobStatus& Of(Job job) const { return jobs.at(static_cast<std::size_t>(job)); }
};

}  // namespace rilo
