#include "component/frmClock.h"

namespace rilo::component {

frmClock::~frmClock() { Unload(); }

void frmClock::Load() {
  if (loaded_) return;
  timClock = loop_.CreateTimer(nullptr);
  timClock2 = loop_.CreateTimer(nullptr);
  timClock3 = loop_.CreateTimer(nullptr);
  timClock4 = loop_.CreateTimer(nullptr);
  loaded_ = true;
}

void frmClock::Unload() noexcept {
  if (!loaded_) return;
  for (platform::TimerId* id : {&timClock, &timClock2, &timClock3, &timClock4}) {
    loop_.DestroyTimer(*id);
    *id = 0;
  }
  loaded_ = false;
}

}  // namespace rilo::component
