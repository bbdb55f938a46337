// What one server thread holds: its message loop, the ModSQL settings record shared by every
// instance on it, and the diagnostics sink.
#pragma once

#include <memory>
#include <string_view>

#include "db/ModSQL.h"
#include "platform/MessageLoop.h"
#include "rilo/Diagnostics.h"

namespace rilo::component {

struct ServerContext {
  /// The loop belongs to the constructing thread. Exceptions that escape a message are
  /// written to the sink.
  ServerContext(std::shared_ptr<Clock> clock, std::shared_ptr<DiagnosticsSink> sink);
  ServerContext(const ServerContext&) = delete;
  ServerContext& operator=(const ServerContext&) = delete;

  platform::MessageLoop loop;
  db::DbSettings settings;
  std::shared_ptr<DiagnosticsSink> diagnostics;  // may be empty

  /// Writes to the sink when there is one. Never throws.
  void Log(LogLevel level, std::string_view where, std::string_view message) const noexcept;
};

}  // namespace rilo::component
