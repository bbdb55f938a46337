#include "ServerProcesses.h"

#include <tlhelp32.h>

#include <cwctype>
#include <functional>

#include "TypeLibrary.h"

namespace rilo::com::testing {
namespace {

bool SamePath(std::wstring a, std::wstring b) {
  for (auto& c : a) c = static_cast<wchar_t>(std::towlower(c));
  for (auto& c : b) c = static_cast<wchar_t>(std::towlower(c));
  return a == b;
}

// Calls `each` with a handle of every running process whose image is ServerPath().
std::size_t ForEachServer(const std::function<void(HANDLE)>& each) {
  const std::wstring path = ServerPath();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  std::size_t count = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                    entry.th32ProcessID);
    if (process == nullptr) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    DWORD code = 0;
    if (QueryFullProcessImageNameW(process, 0, image, &size) && SamePath(image, path) &&
        GetExitCodeProcess(process, &code) && code == STILL_ACTIVE) {
      ++count;
      if (each) each(process);
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return count;
}

}  // namespace

std::wstring ServerPath() {
  std::wstring self = ModulePath();
  return self.substr(0, self.find_last_of(L"\\/") + 1) + L"RiloServer.exe";
}

std::size_t CountServerProcesses() { return ForEachServer(nullptr); }

bool WaitForServerExit(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    if (CountServerProcesses() == 0) return true;
    if (GetTickCount64() >= end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

std::size_t KillServerProcesses() {
  return ForEachServer([](HANDLE process) {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
  });
}

int RunServerCommand(const std::wstring& arguments, DWORD ms) {
  std::wstring command = L"\"" + ServerPath() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0) {
    GetExitCodeProcess(info.hProcess, &code);
  } else {
    TerminateProcess(info.hProcess, 99);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

}  // namespace rilo::com::testing
