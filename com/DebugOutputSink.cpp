#include "DebugOutputSink.h"

#include <windows.h>

#include <string>

#include "Utf16.h"

namespace rilo::com {
namespace {

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kError:
      return "error";
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kInfo:
      return "info";
    default:
      return "debug";
  }
}

class DebugOutputSink final : public DiagnosticsSink {
 public:
  explicit DebugOutputSink(LogLevel max_level) : max_level_(max_level) {}

  void Write(LogLevel level, std::string_view where, std::string_view message) override {
    if (level == LogLevel::kOff || level > max_level_) return;
    std::string line = "RiloServer ";
    line.append(LevelName(level)).append(" ").append(where).append(": ").append(message);
    line += '\n';
    OutputDebugStringW(ToUtf16(line).c_str());
  }

 private:
  LogLevel max_level_;
};

}  // namespace

std::shared_ptr<DiagnosticsSink> MakeDebugOutputSink(LogLevel max_level) {
  if (max_level == LogLevel::kOff) return nullptr;
  return std::make_shared<DebugOutputSink>(max_level);
}

}  // namespace rilo::com
