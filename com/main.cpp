// RiloServer.exe: the out-of-process automation server of ClsRiloSever, and its own
// registration.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DebugOutputSink.h"
#include "LocalServer.h"
#include "Registration.h"
#include "TypeLibrary.h"
#include "Utf16.h"
#include "rilo/Clock.h"

namespace {

// The server has no window: messages go to standard output when there is one (a script or
// an installer capturing it), else to the console it was started from, else nowhere.
void Report(const std::wstring& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = rilo::com::ToUtf8(text);
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ErrorText(LSTATUS status) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = text ? text : L"error " + std::to_wstring(status) + L"\n";
  LocalFree(text);
  return result;
}

int Register(const rilo::com::ServerCommand& command) {
  using rilo::com::RegistrationScope;
  const bool all_users = command.scope == RegistrationScope::kAllUsers;
  const LSTATUS status = command.action == rilo::com::ServerCommand::Action::kRegister
                             ? rilo::com::RegisterServer(command.scope, rilo::com::ModulePath(),
                                                         command.server_arguments)
                             : rilo::com::UnregisterServer(command.scope);
  if (status == ERROR_SUCCESS) return 0;
  std::wstring text = L"RiloServer: registration failed: " + ErrorText(status);
  if (status == ERROR_ACCESS_DENIED && all_users) {
    text += L"For all users run it as administrator, or use /RegServerPerUser.\n";
  }
  Report(text);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using Action = rilo::com::ServerCommand::Action;
  const auto command =
      rilo::com::ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc));
  switch (command.action) {
    case Action::kServe: {
      rilo::ServerThreadOptions options;
      options.diagnostics = rilo::com::MakeDebugOutputSink(command.log_level);
      options.odbc = command.odbc;
      if (command.virtual_clock) options.clock = std::make_shared<rilo::VirtualClock>();
      return rilo::com::RunLocalServer(std::move(options));
    }
    case Action::kRegister:
    case Action::kUnregister:
      return Register(command);
    case Action::kHelp:
      Report(rilo::com::HelpText());
      return 0;
    case Action::kInvalid:
      Report(L"RiloServer: " + command.error + L"\n\n" + rilo::com::HelpText());
      return 1;
  }
  return 1;
}
