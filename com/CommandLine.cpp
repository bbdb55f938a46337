#include "CommandLine.h"

#include <cwctype>
#include <optional>
#include <string_view>

#include "Utf16.h"

namespace rilo::com {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

void AddServerArgument(ServerCommand& command, const std::wstring& arg) {
  if (!command.server_arguments.empty()) command.server_arguments += L' ';
  command.server_arguments += arg;
}

// A value as COM is to pass it back: quoted when it holds a space, so the driver name
// "ODBC Driver 18 for SQL Server" arrives as one argument.
std::wstring Quoted(const std::wstring& value) {
  return value.find(L' ') == std::wstring::npos ? value : L"\"" + value + L"\"";
}

// The value of a "/name:value" switch as given (its case kept), or nothing when `arg` is
// another switch.
std::optional<std::wstring> SwitchValue(const std::wstring& arg, std::wstring_view name) {
  if (Lower(arg.substr(1, name.size())) != name) return std::nullopt;
  return arg.substr(1 + name.size());
}

// Takes a name given with a switch into `out` and passes it on to the server COM starts;
// false (the command then invalid) for an empty name or one holding a character of `refused`.
bool TakeName(ServerCommand& command, const std::wstring& switch_name, const std::wstring& value,
              std::wstring_view refused, std::string& out) {
  if (value.empty() || value.find_first_of(refused) != std::wstring::npos) {
    command.action = ServerCommand::Action::kInvalid;
    return false;
  }
  out = ToUtf8(value);
  AddServerArgument(command, switch_name + Quoted(value));
  return true;
}

}  // namespace

ServerCommand ParseCommandLine(const std::vector<std::wstring>& args) {
  ServerCommand command;
  bool action_given = false;
  auto set_action = [&](ServerCommand::Action action, RegistrationScope scope) {
    if (action_given && (command.action != action || command.scope != scope)) {
      command.action = ServerCommand::Action::kInvalid;
      command.error =
          L"give one of /Embedding, /RegServer, /UnregServer, /RegServerPerUser, "
          L"/UnregServerPerUser";
      return false;
    }
    action_given = true;
    command.action = action;
    command.scope = scope;
    return true;
  };
  for (const std::wstring& arg : args) {
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) {
      command.action = ServerCommand::Action::kInvalid;
      command.error = L"unexpected argument: " + arg;
      return command;
    }
    const std::wstring name = Lower(arg.substr(1));
    bool ok = true;
    if (name == L"embedding" || name == L"automation") {
      ok = set_action(ServerCommand::Action::kServe, RegistrationScope::kAllUsers);
    } else if (name == L"regserver") {
      ok = set_action(ServerCommand::Action::kRegister, RegistrationScope::kAllUsers);
    } else if (name == L"unregserver") {
      ok = set_action(ServerCommand::Action::kUnregister, RegistrationScope::kAllUsers);
    } else if (name == L"regserverperuser") {
      ok = set_action(ServerCommand::Action::kRegister, RegistrationScope::kCurrentUser);
    } else if (name == L"unregserverperuser") {
      ok = set_action(ServerCommand::Action::kUnregister, RegistrationScope::kCurrentUser);
    } else if (name == L"help" || name == L"?" || name == L"-help") {
      ok = set_action(ServerCommand::Action::kHelp, RegistrationScope::kAllUsers);
    } else if (name.rfind(L"loglevel:", 0) == 0) {
      if (!ParseLogLevel(ToUtf8(name.substr(9)), command.log_level)) {
        command.action = ServerCommand::Action::kInvalid;
        command.error = L"/LogLevel takes off, error, warning, info or debug";
        return command;
      }
      AddServerArgument(command, L"/LogLevel:" + name.substr(9));
    } else if (const auto driver = SwitchValue(arg, L"odbcdriver:")) {
      if (!TakeName(command, L"/OdbcDriver:", *driver, L"\"", command.odbc.driver)) {
        command.error = L"/OdbcDriver takes the name of an installed ODBC driver";
        return command;
      }
    } else if (const auto provider = SwitchValue(arg, L"linkprovider:")) {
      if (!TakeName(command, L"/LinkProvider:", *provider, L"\" '", command.odbc.link_provider)) {
        command.error = L"/LinkProvider takes the name of an OLE DB provider (MSOLEDBSQL)";
        return command;
      }
    } else if (name == L"virtualclock") {
      command.virtual_clock = true;
      AddServerArgument(command, L"/VirtualClock");
    } else {
      command.action = ServerCommand::Action::kInvalid;
      command.error = L"unknown switch: " + arg;
      return command;
    }
    if (!ok) return command;
  }
  return command;
}

std::wstring HelpText() {
  return L"RiloServer.exe: the automation server of ClsRiloSever (ProgID "
         L"RiloServer.ClsRiloSever).\n"
         L"COM starts it when a program first creates the class; it ends when the last object "
         L"is released.\n\n"
         L"  /RegServerPerUser     register for the current user (no administrator needed)\n"
         L"  /UnregServerPerUser   remove that registration\n"
         L"  /RegServer            register for all users (run as administrator)\n"
         L"  /UnregServer          remove that registration (run as administrator)\n"
         L"  /LogLevel:LEVEL       with a registration: the server describes failures at "
         L"LEVEL\n"
         L"                        (off, error, warning, info, debug) to the debugger output\n"
         L"  /OdbcDriver:NAME      with a registration: the ODBC driver for SQL Server\n"
         L"                        (default: the newest of ODBC Driver 18, ODBC Driver 17, SQL "
         L"Server)\n"
         L"  /LinkProvider:NAME    with a registration: the OLE DB provider of the refresh's "
         L"linked\n"
         L"                        server (default: SQLOLEDB before SQL Server 2022, MSOLEDBSQL "
         L"from 2022 on)\n"
         L"  /Help                 this text\n\n"
         L"The exit code is 0 on success, 1 for a wrong command line, 2 when registration "
         L"failed.\n";
}

}  // namespace rilo::com
