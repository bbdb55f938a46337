#include "component/FailureRule.h"

#include "db/PasswordMask.h"

namespace rilo::component {

std::string DescribeException(std::exception_ptr error) {
  try {
    std::rethrow_exception(std::move(error));
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

void ReportFailedStep(const ServerContext& context, std::string_view where, std::string_view step,
                      std::span<const std::string_view> hidden) noexcept {
  if (!context.WantsFailureText()) return;
  try {
    const std::string message =
        std::string(step) + " failed: " + DescribeException(std::current_exception());
    context.Log(LogLevel::kWarning, where, db::MaskPasswords(message, hidden));
  } catch (...) {
    // Out of memory while describing a failure: the step is skipped all the same.
  }
}

}  // namespace rilo::component
