// How a diagnostic reaches an operator's eyes: one line, passwords masked.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "rilo/Diagnostics.h"

namespace rilo::api {

/// The name of `level` as ParseLogLevel reads it.
std::string_view LogLevelName(LogLevel level);

/// A sink writing one line per message at `max_level` or more severe to `file`, which must
/// outlive it. MakeStderrSink is this sink on standard error.
std::shared_ptr<DiagnosticsSink> MakeFileSink(std::FILE* file, LogLevel max_level);

}  // namespace rilo::api
