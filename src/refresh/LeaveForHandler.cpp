#include "refresh/LeaveForHandler.h"

#include <vector>

#include "component/FailureRule.h"

namespace rilo::refresh {

void ReportRoutineFailure(const component::ServerContext& context, std::string_view where,
                          std::string_view step, std::span<const std::string> secrets) noexcept {
  if (!context.WantsFailureText()) return;
  try {
    std::vector<std::string_view> hidden(secrets.begin(), secrets.end());
    hidden.push_back(context.settings.MainPassword);
    hidden.push_back(context.settings.LocalPassword);
    component::ReportFailedStep(context, where, step, hidden);
  } catch (...) {
    // Diagnostics must never change the routine's course.
  }
}

}  // namespace rilo::refresh
