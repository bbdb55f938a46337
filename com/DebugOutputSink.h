// Diagnostics of a server that has no console: lines to the debugger output (DebugView on
// Windows, WINEDEBUG=+debugstr under Wine).
#pragma once

#include <memory>

#include "rilo/Diagnostics.h"

namespace rilo::com {

/// A sink for messages at `max_level` or more severe; none for LogLevel::kOff.
std::shared_ptr<DiagnosticsSink> MakeDebugOutputSink(LogLevel max_level);

}  // namespace rilo::com
