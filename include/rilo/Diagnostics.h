// Opt-in diagnostics for operators: which step failed and why. Off unless a sink is given.
// Passwords are never written.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace rilo {

enum class LogLevel { kOff = 0, kError = 1, kWarning = 2, kInfo = 3, kDebug = 4 };

class DiagnosticsSink {
 public:
  virtual ~DiagnosticsSink() = default;
  /// May be called from the server thread only. `where` names the job or routine.
  virtual void Write(LogLevel level, std::string_view where, std::string_view message) = 0;
};

/// A sink writing lines to standard error, for messages at `max_level` or more severe.
std::shared_ptr<DiagnosticsSink> MakeStderrSink(LogLevel max_level);

/// "[level] where: message" with passwords masked, without a line end: the line every sink
/// writes.
std::string FormatDiagnosticLine(LogLevel level, std::string_view where, std::string_view message);

/// Parses "off", "error", "warning", "info", "debug"; nothing for anything else.
bool ParseLogLevel(std::string_view text, LogLevel& out);

}  // namespace rilo
