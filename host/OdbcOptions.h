// The ODBC choices a command that reaches SQL Server takes: driver, extra FreeTDS keywords and
// the linked server's provider.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace rilo::host {

struct OdbcOptions {
  std::string driver;                  // empty: FreeTDS
  std::vector<std::string> keywords;   // KEYWORD=VALUE for FreeTDS
  std::string link_provider;           // empty: chosen by the local server's version
};

void AddOdbcOptions(CLI::App& command, OdbcOptions& options);

/// Makes them the process's choices.
void ApplyOdbcOptions(const OdbcOptions& options);

}  // namespace rilo::host
