#include "component/FailureRule.h"

#include <string>

namespace rilo::component {

void ReportSkippedStep(const ServerContext& context, std::string_view where,
                       std::string_view step) noexcept {
  if (!context.WantsFailureText()) return;
  try {
    std::string reason = "unknown error";
    try {
      throw;
    } catch (const std::exception& e) {
      reason = e.what();
    } catch (...) {
    }
    std::string message(step);
    message += " failed: ";
    message += reason;
    context.Log(LogLevel::kWarning, where, message);
  } catch (...) {
    // Out of memory while describing a failure: the step is skipped all the same.
  }
}

}  // namespace rilo::component
