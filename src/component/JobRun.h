// The protocol every timer job of the class follows, in one place: the instance kept alive for
// the run, the job's own timer disabled as the first step, the work and the event, the timer
// enabled again as the last step (the refresh job leaves it off). The same place records what
// Status reports: start, duration, whether the event was raised, TipsUpdate's flag, and the
// run's first failure.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "component/FailureRule.h"
#include "component/Instance.h"
#include "component/JobRecords.h"
#include "rilo/JobStatus.h"

namespace rilo::component {

/// What tells the jobs apart in the protocol.
struct TimerJob {
  Job job;  // its JobName names it in diagnostics
  TimerRef Instance::*timer;
  std::string_view disable_step;
  std::string_view enable_step;  // empty: the run leaves its timer off
};

inline constexpr TimerJob kDailySummaryJob{Job::kDailySummary, &Instance::oTimer, "disable oTimer",
                                           "enable oTimer"};
inline constexpr TimerJob kRefreshJob{Job::kRefresh, &Instance::oTimer2, "disable oTimer2", ""};
inline constexpr TimerJob kProgressTicker{Job::kProgressTicker, &Instance::oTimer3,
                                          "disable oTimer3", "enable oTimer3"};
inline constexpr TimerJob kReminderJob{Job::kReminder, &Instance::oTimer4, "disable oTimer4",
                                       "enable oTimer4"};

/// The four, in the order of their timers.
inline constexpr const TimerJob* kTimerJobs[] = {&kDailySummaryJob, &kRefreshJob, &kProgressTicker,
                                                 &kReminderJob};

/// One run of a timer job, as its work sees it. Every step runs under the class's failure
/// rule. Server thread only.
class JobRun {
 public:
  /// Keeps the instance alive, starts the record of the run (failures reported meanwhile are
  /// the run's own) and disables the job's timer.
  JobRun(Instance& self, const TimerJob& job);
  /// Ends the record of the run; a run left without End (its work threw) is not counted.
  ~JobRun();
  JobRun(const JobRun&) = delete;
  JobRun& operator=(const JobRun&) = delete;

  Instance& self() const { return self_; }
  std::string_view where() const { return JobName(job_.job); }

  /// One step of the job; true when it completed, false when it failed and was skipped.
  template <class Body>
  bool Step(std::string_view step, Body&& body) {
    return RunStep(self_.context(), where(), step, std::forward<Body>(body));
  }

  /// The step that raises the event. `raise` returns whether it raised (the summary and the
  /// reminder raise nothing for a blank text).
  template <class Raise>
  void RaiseEvent(std::string_view step, Raise&& raise) {
    Step(step, [&] { event_raised_ = std::forward<Raise>(raise)(); });
  }

  /// The refresh job: the Pd that TipsUpdate carries.
  void NoteFlag(VariantBool Pd) { flag_ = Pd != kVariantFalse; }

  /// The tick may not run now: its timer is enabled again at once (as `step`), and the tick
  /// counts as no run.
  void HoldBack(std::string_view step);

  /// Enables the timer again (the last step) unless the job leaves it off or the tick was
  /// held back, and records the run.
  void End();

 private:
  std::shared_ptr<Instance> keep_alive_;  // first member: released last
  Instance& self_;
  const TimerJob& job_;
  JobRecord& record_;
  Clock::TimePoint started_;
  RunFailures failures_;
  RunFailures* outer_run_;
  bool event_raised_ = false;
  std::optional<bool> flag_;
  bool held_back_ = false;
};

/// Runs one tick of `job` on `self`: `work(run)` does the job's work and raises its event
/// through `run`, between the first and the last step of the protocol.
template <class Work>
void RunTimerJob(Instance& self, const TimerJob& job, Work&& work) {
  JobRun run(self, job);
  std::forward<Work>(work)(run);
  run.End();
}

}  // namespace rilo::component
