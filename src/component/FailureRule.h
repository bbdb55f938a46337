// The class's failure rule: a step that fails is abandoned and the next step runs. Nothing
// reaches the host; the failure is described to the diagnostics sink, if any.
#pragma once

#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "component/ServerContext.h"

namespace rilo::component {

/// What `error` says: its what(), or "unknown error" when it is not a std::exception.
std::string DescribeException(std::exception_ptr error);

/// Describes the exception in flight to `context`'s diagnostics as "<step> failed: <why>",
/// with every non-empty text of `hidden` and every password value masked. Call from a catch
/// block. Never throws.
void ReportFailedStep(const ServerContext& context, std::string_view where, std::string_view step,
                      std::span<const std::string_view> hidden = {}) noexcept;

/// Runs one step; returns true when it completed, false when it failed and was skipped.
template <class Step>
bool RunStep(const ServerContext& context, std::string_view where, std::string_view step,
             Step&& body) noexcept {
  try {
    std::forward<Step>(body)();
    return true;
  } catch (...) {
    ReportFailedStep(context, where, step);
    return false;
  }
}

}  // namespace rilo::component
