// The appointment reminder job: the tick of oTimer4.
#pragma once

namespace rilo::component {
class Instance;
}

namespace rilo::jobs {

/// One run: the earliest unreminded appointment, marked and raised as TipsStart.
void RunReminderJob(component::Instance& self);

}  // namespace rilo::jobs
