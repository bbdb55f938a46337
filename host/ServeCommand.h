// `rilo-server serve`: the server as a process, speaking JSON lines on stdin and stdout.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "OdbcOptions.h"

namespace rilo::host {

struct ServeOptions {
  std::string log_level = "off";
  OdbcSettings odbc;
};

CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options);

/// Serves until end of input, SIGINT or SIGTERM (0), or until standard output or input
/// fails (1).
int RunServe(const ServeOptions& options);

}  // namespace rilo::host
