// The failure rule of the ModSQL database routines: at the first failing step the routine
// leaves its normal path for its one handler, which closes what is open and returns the
// routine's failure value. The failure is described to the diagnostics sink, if any.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "component/ServerContext.h"

namespace rilo::refresh {

/// Describes the exception in flight to `context`'s diagnostics as ReportFailedStep does,
/// hiding every non-empty text of `secrets` and the two passwords of the settings too. Call
/// from a catch block. Never throws.
void ReportRoutineFailure(const component::ServerContext& context, std::string_view where,
                          std::string_view step, std::span<const std::string> secrets) noexcept;

/// Runs `body`; at its first failure runs `handler` and returns what the handler returns.
/// `step` is read when the failure is reported, so the body can keep it current. A failure
/// inside the handler itself is not caught: it passes to the routine's caller.
template <class Body, class Handler>
auto LeaveForHandler(const component::ServerContext& context, std::string_view where,
                     const std::string& step, std::span<const std::string> secrets, Body&& body,
                     Handler&& handler) {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    ReportRoutineFailure(context, where, step, secrets);
  }
  return std::forward<Handler>(handler)();
}

}  // namespace rilo::refresh
