// The component's own job: the progress ticker behind WorkProcess, the tick of oTimer3.
#pragma once

#include <cstdint>

namespace rilo::component {

class Instance;

/// The counter after `angle` on one tick: 10 more, wrapping around at the 32-bit limit, and
/// 0 once it is above 361.
std::int32_t NextProgressAngle(std::int32_t angle);

/// One tick: raises WorkProcess with ProgressAngle itself, then moves the counter on.
void RunProgressTicker(Instance& self);

}  // namespace rilo::component
