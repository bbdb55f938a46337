#include "DebugOutputSink.h"

#include <windows.h>

#include <string>

#include "Utf16.h"

namespace rilo::com {
namespace {

class DebugOutputSink final : public DiagnosticsSink {
 public:
  explicit DebugOutputSink(LogLevel max_level) : max_level_(max_level) {}

  void Write(LogLevel level, std::string_view where, std::string_view message) override {
    if (level == LogLevel::kOff || level > max_level_) return;
    // Passwords masked like every other sink's lines.
    std::string line = "RiloServer " + FormatDiagnosticLine(level, where, message) + "\n";
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
