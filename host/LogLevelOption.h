// The --log-level option that the commands running a server share.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "rilo/Diagnostics.h"

namespace rilo::host {

/// Adds --log-level off|error|warning|info|debug to `command`, stored in `level`.
void AddLogLevelOption(CLI::App& command, std::string& level);

/// The diagnostics sink for a level that AddLogLevelOption accepted; none for "off".
std::shared_ptr<DiagnosticsSink> MakeDiagnostics(const std::string& level);

}  // namespace rilo::host
