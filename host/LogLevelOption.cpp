#include "LogLevelOption.h"

namespace rilo::host {

void AddLogLevelOption(CLI::App& command, std::string& level) {
  command
      .add_option("--log-level", level,
                  "Describe failures on standard error: which step failed and the engine's "
                  "message (passwords are never shown)")
      ->check(CLI::IsMember({"off", "error", "warning", "info", "debug"}))
      ->capture_default_str();
}

std::shared_ptr<DiagnosticsSink> MakeDiagnostics(const std::string& level) {
  LogLevel parsed = LogLevel::kOff;
  if (!ParseLogLevel(level, parsed) || parsed == LogLevel::kOff) return nullptr;
  return MakeStderrSink(parsed);
}

}  // namespace rilo::host
