#include "component/ServerContext.h"

#include <exception>
#include <string>

#include "component/FailureRule.h"
#include "component/JobRecords.h"
#include "platform/CallWhileServing.h"

namespace rilo::component {

ServerContext::ServerContext(std::shared_ptr<Clock> clock, std::shared_ptr<DiagnosticsSink> sink)
    : loop(std::move(clock)), diagnostics(std::move(sink)) {
  loop.SetErrorHandler([this](std::exception_ptr error) {
    try {
      Log(LogLevel::kError, "message loop", "uncaught exception: " + DescribeException(error));
    } catch (...) {
      // Out of memory while describing it: the loop goes on all the same.
    }
  });
}

db::BlockingCallRunner ServerContext::DatabaseCallRunner() {
  return [this](const std::function<void()>& call) {
    platform::CallWhileServing(loop, database_worker, call);
  };
}

void ServerContext::Log(LogLevel level, std::string_view where,
                        std::string_view message) const noexcept {
  const bool failure = level == LogLevel::kError || level == LogLevel::kWarning;
  if (failure && current_run != nullptr) current_run->Note(where, message);
  if (!diagnostics) return;
  try {
    diagnostics->Write(level, where, message);
  } catch (...) {
    // Diagnostics must never change what the server does.
  }
}

}  // namespace rilo::component
