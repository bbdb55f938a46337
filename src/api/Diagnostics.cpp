#include "rilo/Diagnostics.h"

#include <cstdio>
#include <mutex>

#include "api/DiagnosticLine.h"

namespace rilo {
namespace {

class FileSink final : public DiagnosticsSink {
 public:
  FileSink(std::FILE* file, LogLevel max_level) : file_(file), max_level_(max_level) {}

  void Write(LogLevel level, std::string_view where, std::string_view message) override {
    if (level == LogLevel::kOff || level > max_level_) return;
    std::string line = FormatDiagnosticLine(level, where, message);
    line += '\n';
    // Several server threads may share one sink; keep their lines whole.
    std::lock_guard guard(mutex_);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
  }

 private:
  std::FILE* file_;
  LogLevel max_level_;
  std::mutex mutex_;
};

}  // namespace

namespace api {

std::shared_ptr<DiagnosticsSink> MakeFileSink(std::FILE* file, LogLevel max_level) {
  return std::make_shared<FileSink>(file, max_level);
}

}  // namespace api

std::shared_ptr<DiagnosticsSink> MakeStderrSink(LogLevel max_level) {
  return api::MakeFileSink(stderr, max_level);
}

bool ParseLogLevel(std::string_view text, LogLevel& out) {
  for (LogLevel level :
       {LogLevel::kOff, LogLevel::kError, LogLevel::kWarning, LogLevel::kInfo, LogLevel::kDebug}) {
    if (text == api::LogLevelName(level)) {
      out = level;
      return true;
    }
  }
  return false;
}

}  // namespace rilo
