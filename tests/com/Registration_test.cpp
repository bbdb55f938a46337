// Registration for the current user: what COM and hosts read, written without an
// administrator, and removed again.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ServerProcesses.h"

namespace rilo::com::testing {
namespace {

const std::wstring kClass = L"Software\\Classes\\CLSID\\{2A19597B-FCA6-4F58-94FE-6DBFA34549BD}";
const std::wstring kLibrary = L"Software\\Classes\\TypeLib\\{51F0C86A-F314-4C00-8C21-DCAA9AC4238C}";
const std::wstring kInterface =
    L"Software\\Classes\\Interface\\{DA1CB8FF-B84C-4761-AE6E-BF75E7B864C4}";
const std::wstring kEvents =
    L"Software\\Classes\\Interface\\{1495E550-F458-4A1C-9CAF-76A6E5F4C483}";

std::optional<std::wstring> UserValue(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

TEST(Registration, PerUserWritesTheClassProgIdsTypeLibraryAndInterfacesAndRemovesThem) {
  ASSERT_EQ(RunServerCommand(L"/RegServerPerUser", 60000), 0);
  EXPECT_EQ(UserValue(kClass + L"\\LocalServer32"), L"\"" + ServerPath() + L"\"");
  EXPECT_EQ(UserValue(kClass + L"\\ProgID"), L"RiloServer.ClsRiloSever.1");
  EXPECT_EQ(UserValue(kClass + L"\\VersionIndependentProgID"), L"RiloServer.ClsRiloSever");
  EXPECT_EQ(UserValue(L"Software\\Classes\\RiloServer.ClsRiloSever\\CLSID"),
            L"{2A19597B-FCA6-4F58-94FE-6DBFA34549BD}");
  EXPECT_EQ(UserValue(L"Software\\Classes\\RiloServer.ClsRiloSever\\CurVer"),
            L"RiloServer.ClsRiloSever.1");
  EXPECT_EQ(UserValue(L"Software\\Classes\\RiloServer.ClsRiloSever.1\\CLSID"),
            L"{2A19597B-FCA6-4F58-94FE-6DBFA34549BD}");
  EXPECT_EQ(UserValue(kLibrary + L"\\1.0\\0\\win64"), ServerPath());
  for (const auto& key : {kInterface, kEvents}) {
    EXPECT_EQ(UserValue(key + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(UserValue(key + L"\\TypeLib"), L"{51F0C86A-F314-4C00-8C21-DCAA9AC4238C}");
    EXPECT_EQ(UserValue(key + L"\\TypeLib", L"Version"), L"1.0");
  }

  ASSERT_EQ(RunServerCommand(L"/UnregServerPerUser", 60000), 0);
  for (const auto& key : {kClass, kLibrary, kInterface, kEvents,
                          std::wstring(L"Software\\Classes\\RiloServer.ClsRiloSever"),
                          std::wstring(L"Software\\Classes\\RiloServer.ClsRiloSever.1")}) {
    HKEY handle = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle),
              ERROR_FILE_NOT_FOUND);
    if (handle) RegCloseKey(handle);
  }
}

TEST(Registration, TheDriverAndProviderGivenWithItAreWhatTheServerStartedByComReads) {
  ASSERT_EQ(RunServerCommand(L"/RegServerPerUser /OdbcDriver:\"ODBC Driver 18 for SQL Server\" "
                             L"/LinkProvider:MSOLEDBSQL /LogLevel:error",
                             60000),
            0);
  const auto registered = UserValue(kClass + L"\\LocalServer32");
  ASSERT_TRUE(registered);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(registered->c_str(), &argc);
  ASSERT_NE(argv, nullptr);
  std::vector<std::wstring> args(argv + 1, argv + argc);
  LocalFree(argv);
  args.push_back(L"-Embedding");  // what COM adds when it starts the server
  const ServerCommand served = ParseCommandLine(args);
  EXPECT_EQ(served.action, ServerCommand::Action::kServe);
  EXPECT_EQ(served.odbc.driver, "ODBC Driver 18 for SQL Server");
  EXPECT_EQ(served.odbc.link_provider, "MSOLEDBSQL");
  EXPECT_EQ(served.log_level, LogLevel::kError);
  EXPECT_EQ(RunServerCommand(L"/UnregServerPerUser", 60000), 0);

  EXPECT_EQ(ParseCommandLine({L"/OdbcDriver:"}).action, ServerCommand::Action::kInvalid);
}

TEST(Registration, AnUnknownSwitchIsRefusedWithExitCodeOne) {
  EXPECT_EQ(RunServerCommand(L"/Frobnicate", 60000), 1);
}

}  // namespace
}  // namespace rilo::com::testing
