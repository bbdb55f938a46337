// The refresh job: the one tick of oTimer2 after StartUpdate.
#pragma once

namespace rilo::component {
class Instance;
}

namespace rilo::refresh {

/// One run: the master-data refresh (or the pause when the flag is off), raised as TipsUpdate.
void RunRefreshJob(component::Instance& self);

}  // namespace rilo::refresh
