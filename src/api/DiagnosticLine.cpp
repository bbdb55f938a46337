#include "api/DiagnosticLine.h"

#include "db/PasswordMask.h"

namespace rilo::api {
std::string_view LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kOff:
      return "off";
    case LogLevel::kError:
      return "error";
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kInfo:
      return "info";
    case LogLevel::kDebug:
      return "debug";
  }
  return "unknown";
}

}  // namespace rilo::api

namespace rilo {

std::string FormatDiagnosticLine(LogLevel level, std::string_view where, std::string_view message) {
  std::string line = "[";
  line += api::LogLevelName(level);
  line += "] ";
  line += db::MaskPasswords(where);
  line += ": ";
  line += db::MaskPasswords(message);
  return line;
}

}  // namespace rilo
