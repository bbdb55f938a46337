// What RiloServer.exe is asked to do by its command line.
#pragma once

#include <string>
#include <vector>

#include "Registration.h"
#include "rilo/Diagnostics.h"
#include "rilo/OdbcSettings.h"

namespace rilo::com {

struct ServerCommand {
  enum class Action { kServe, kRegister, kUnregister, kHelp, kInvalid };
  Action action = Action::kHelp;
  RegistrationScope scope = RegistrationScope::kAllUsers;
  LogLevel log_level = LogLevel::kOff;
  /// The ODBC driver and linked-server provider the server uses (from /OdbcDriver and
  /// /LinkProvider).
  OdbcSettings odbc;
  /// Test-only, left out of the help: the server thread runs on a virtual clock that jumps
  /// to the next timer's deadline, so a minute of schedule passes at once.
  bool virtual_clock = false;
  /// The options given with a registration that COM is to start the server with.
  std::wstring server_arguments;
  std::wstring error;  // for kInvalid
};

/// Switches are case-insensitive and start with '/' or '-': /Embedding (COM starting the
/// server), /RegServer, /UnregServer, /RegServerPerUser, /UnregServerPerUser, /LogLevel:LEVEL,
/// /OdbcDriver:NAME, /LinkProvider:NAME, /Help. Values keep their case.
ServerCommand ParseCommandLine(const std::vector<std::wstring>& args);

/// The text of /Help.
std::wstring HelpText();

}  // namespace rilo::com
