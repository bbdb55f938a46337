#include "component/ServerContext.h"

#include <exception>
#include <string>
#include <utility>

#include "component/FailureRule.h"
#include "component/JobRecords.h"
#include "platform/CallWhileServing.h"

namespace rilo::component {

ServerContext::ServerContext(std::shared_ptr<Clock> clock, std::shared_ptr<DiagnosticsSink> sink,
                             db::OdbcChoice odbc, std::string forced_link_provider)
    : loop(std::move(clock)),
      diagnostics(std::move(sink)),
      session_options(std::make_shared<db::SessionOptions>(std::move(odbc))),
      link_provider(std::move(forced_link_provider)) {
  loop.SetErrorHandler([this](std::exception_ptr error) {
    try {
      Log(LogLevel::kError, "message loop", "uncaught exception: " + DescribeException(error));
    } catch (...) {
      // Out of memory while describing it: the loop goes on all the same.
    }
  });
}

namespace {

// Sets the waiting job's run aside while the loop serves others, and puts it back after.
class RunSetAside {
 public:
  explicit RunSetAside(RunFailures*& current)
      : current_(current), waiting_(std::exchange(current, nullptr)) {}
  ~RunSetAside() { current_ = waiting_; }
  RunSetAside(const RunSetAside&) = delete;
  RunSetAside& operator=(const RunSetAside&) = delete;

 private:
  RunFailures*& current_;
  RunFailures* const waiting_;
};

}  // namespace

db::BlockingCallRunner ServerContext::DatabaseCallRunner() {
  return [this](const std::function<void()>& call) {
    const RunSetAside aside(current_run);
    platform::CallWhileServing(loop, database_worker, call);
  };
}

void ServerContext::Yield() {
  const RunSetAside aside(current_run);
  loop.ProcessPendingMessages();
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
