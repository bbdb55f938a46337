// The ODBC choices a command that reaches SQL Server takes: driver, extra FreeTDS keywords and
// the linked server's provider.
#pragma once

#include <CLI/CLI.hpp>

#include "rilo/OdbcSettings.h"

namespace rilo::host {

/// --odbc-driver, --odbc-keyword (repeatable) and --link-provider, checked as they are parsed.
void AddOdbcOptions(CLI::App& command, OdbcSettings& settings);

}  // namespace rilo::host
