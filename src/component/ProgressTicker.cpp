#include "component/ProgressTicker.h"

#include "component/JobRun.h"

namespace rilo::component {

std::int32_t NextProgressAngle(std::int32_t angle) {
  // Unsigned addition wraps without overflow; the conversion back is modular in C++20.
  auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(angle) + 10U);
  return next > 361 ? 0 : next;
}

void RunProgressTicker(Instance& self) {
  RunTimerJob(self, kProgressTicker, [&](JobRun& run) {
    run.RaiseEvent("raise WorkProcess", [&] {
      self.RaiseWorkProcess(self.ProgressAngle);
      return true;
    });
    run.Step("advance ProgressAngle",
             [&] { self.ProgressAngle = NextProgressAngle(self.ProgressAngle); });
  });
}

}  // namespace rilo::component
