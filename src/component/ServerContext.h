// What one server thread holds: its message loop, the ModSQL settings record shared by every
// instance on it, the diagnostics sink, how its sessions reach their databases and the worker
// for its database calls.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/BlockingCall.h"
#include "db/ModSQL.h"
#include "db/access/SessionOptions.h"
#include "platform/MessageLoop.h"
#include "platform/WorkerThread.h"
#include "rilo/Diagnostics.h"

namespace rilo::component {

struct RunFailures;

struct ServerContext {
  /// The loop belongs to the constructing thread. Exceptions that escape a message are
  /// written to the sink. `odbc` and `forced_link_provider` are this thread's alone.
  ServerContext(std::shared_ptr<Clock> clock, std::shared_ptr<DiagnosticsSink> sink,
                db::OdbcChoice odbc = {}, std::string forced_link_provider = {});
  ServerContext(const ServerContext&) = delete;
  ServerContext& operator=(const ServerContext&) = delete;

  platform::MessageLoop loop;
  db::DbSettings settings;
  std::shared_ptr<DiagnosticsSink> diagnostics;  // may be empty
  /// Shared by every connection opened on this thread: the ODBC choice and the statement hook.
  const std::shared_ptr<db::SessionOptions> session_options;
  /// The provider of every link the refresh makes; empty: chosen by the local server's version.
  const std::string link_provider;
  /// Runs the jobs' blocking database calls, so that the loop is served meanwhile.
  platform::WorkerThread database_worker;

  /// What the loop thread installs while it serves: a database call then runs on
  /// `database_worker` while the loop serves its messages as at a yield.
  db::BlockingCallRunner DatabaseCallRunner();

  /// A job's yield: serves the messages waiting now.
  void Yield();

  /// The job run under way (the innermost, when runs nest): Log adds the failures it is told
  /// of to it. None outside job runs, and set aside while a job waits at a yield or on a
  /// database call: host calls and other timers served meanwhile are not part of that job.
  RunFailures* current_run = nullptr;

  /// Whether a failure needs describing: there is a sink, or a job run records its failures.
  bool WantsFailureText() const { return diagnostics != nullptr || current_run != nullptr; }

  /// Writes to the sink when there is one; a warning or error is also a failure of the
  /// current job run. Never throws.
  void Log(LogLevel level, std::string_view where, std::string_view message) const noexcept;
};

}  // namespace rilo::component
