#include "component/JobRun.h"

namespace rilo::component {

JobRun::JobRun(Instance& self, const TimerJob& job)
    : keep_alive_(self.weak_from_this().lock()),
      self_(self),
      job_(job),
      record_(self.job_records()[job.job]),
      started_(self.context().loop.clock().Now()),
      outer_run_(self.context().current_run) {
  self_.context().current_run = &failures_;
  ++record_.running;
  Step(job_.disable_step, [&] { (self_.*job_.timer).SetEnabled(false); });
}

JobRun::~JobRun() {
  --record_.running;
  self_.context().current_run = outer_run_;
}

void JobRun::HoldBack(std::string_view step) {
  held_back_ = true;
  Step(step, [&] { (self_.*job_.timer).SetEnabled(true); });
}

void JobRun::End() {
  if (held_back_) return;
  if (!job_.enable_step.empty()) {
    Step(job_.enable_step, [&] { (self_.*job_.timer).SetEnabled(true); });
  }
  const Clock::TimePoint ended = self_.context().loop.clock().Now();
  ++record_.runs;
  record_.last_run =
      JobRunOutcome{started_, ended - started_, event_raised_, flag_, failures_.count};
  if (failures_.first) {
    record_.last_failure = *failures_.first;
    record_.last_failure->run_started = started_;
  }
}

}  // namespace rilo::component
