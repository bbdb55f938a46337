// Whether a clock is the real one made by MakeSteadyClock. A loop backend that waits on the
// system itself (not through Clock::WaitUntil) does so only for the real clock; any other
// clock decides itself how waiting for a deadline passes.
#pragma once

#include "rilo/Clock.h"

namespace rilo::platform {

bool IsSteadyClock(const Clock& clock);

}  // namespace rilo::platform
