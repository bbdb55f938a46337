// The daily summary job: the tick of oTimer.
#pragma once

namespace rilo::component {
class Instance;
}

namespace rilo::jobs {

/// One run: the takings of the business date, raised as ServerStart.
void RunDailySummaryJob(component::Instance& self);

}  // namespace rilo::jobs
