// `rilo-server check`: a store's settings checked before it goes live, one line per check.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "OdbcOptions.h"

namespace rilo::host {

struct CheckOptions {
  std::string settings_file;  // empty: standard input
  std::string store;
  bool json = false;
  OdbcSettings odbc;
};

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options);

/// 0 when every check passed, 1 when one failed, 2 when the settings cannot be read.
int RunCheck(const CheckOptions& options);

}  // namespace rilo::host
