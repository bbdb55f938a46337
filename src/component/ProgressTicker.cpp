#include "component/ProgressTicker.h"

#include <string_view>

#include "component/FailureRule.h"
#include "component/Instance.h"

namespace rilo::component {

std::int32_t NextProgressAngle(std::int32_t angle) {
  // Unsigned addition wraps without overflow; the conversion back is modular in C++20.
  auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(angle) + 10U);
  return next > 361 ? 0 : next;
}

void RunProgressTicker(Instance& self) {
  constexpr std::string_view kWhere = "progress ticker";
  const ServerContext& context = self.context();
  RunStep(context, kWhere, "disable oTimer3", [&] { self.oTimer3.SetEnabled(false); });
  RunStep(context, kWhere, "raise WorkProcess", [&] { self.RaiseWorkProcess(self.ProgressAngle); });
  RunStep(context, kWhere, "advance ProgressAngle",
          [&] { self.ProgressAngle = NextProgressAngle(self.ProgressAngle); });
  RunStep(context, kWhere, "enable oTimer3", [&] { self.oTimer3.SetEnabled(true); });
}

}  // namespace rilo::component
