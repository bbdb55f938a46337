// Checks a store's settings before it goes live: both databases, their tables, the logins'
// rights, the refresh's linked server and the store name. Changes no data.
#pragma once

#include <string>
#include <vector>

#include "rilo/OdbcSettings.h"

namespace rilo {

enum class CheckOutcome {
  kPassed,
  kFailed,
  kNotApplicable,  // means nothing on this engine
  kSkipped,        // an earlier check it needs failed, or the settings lack that database
};

struct CheckResult {
  std::string name;    // e.g. "main: tables and columns"
  CheckOutcome outcome = CheckOutcome::kPassed;
  std::string reason;  // what was found; never holds a password
  std::string fix;     // what to do about a failure; empty otherwise
};

struct PreflightOptions {
  /// The settings string as the host hands it to StartUpdate (eight parts) or StartServer
  /// (four parts: the local side and the refresh are then skipped).
  std::string settings;
  /// The store name as the host hands it (trimmed as the server trims it).
  std::string store_name;
  /// How SQL Server is reached: give the server thread's own, so the checks go the same way.
  OdbcSettings odbc{};
};

/// Runs every check, in order: main side, local side, refresh. Never throws for what it finds;
/// each failure is a result. Throws std::invalid_argument, before any check, when
/// OdbcSettingsProblem finds fault with options.odbc.
std::vector<CheckResult> RunPreflight(const PreflightOptions& options);

/// True when no result failed.
bool AllPassed(const std::vector<CheckResult>& results);

}  // namespace rilo
