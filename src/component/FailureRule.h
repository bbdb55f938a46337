// The class's failure rule: a step that fails is abandoned and the next step runs. Nothing
// reaches the host; the failure is described to the diagnostics sink, if any.
#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "component/ServerContext.h"

namespace rilo::component {

/// Describes the exception in flight to `context`'s diagnostics. Call from a catch block.
void ReportSkippedStep(const ServerContext& context, std::string_view where,
                       std::string_view step) noexcept;

/// Runs one step; returns true when it completed, false when it failed and was skipped.
template <class Step>
bool RunStep(const ServerContext& context, std::string_view where, std::string_view step,
             Step&& body) noexcept {
  try {
    std::forward<Step>(body)();
    return true;
  } catch (...) {
    ReportSkippedStep(context, where, step);
    return false;
  }
}

}  // namespace rilo::component
