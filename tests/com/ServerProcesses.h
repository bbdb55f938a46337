// The RiloServer.exe processes that COM started from this build folder: counted to see the
// server come and go, and ended when a test leaves one behind (a client that was killed
// keeps its objects alive), since a server started by COM holds the client's standard output.
#pragma once

#include <windows.h>

#include <string>

namespace rilo::com::testing {

/// RiloServer.exe beside the test program.
std::wstring ServerPath();

std::size_t CountServerProcesses();

/// Waits up to `ms` for every server process to end, serving window messages meanwhile.
bool WaitForServerExit(DWORD ms);

/// Ends every server process; returns how many there were.
std::size_t KillServerProcesses();

/// Runs RiloServer.exe with `arguments`, waits up to `ms`; its exit code, or -1.
int RunServerCommand(const std::wstring& arguments, DWORD ms);

}  // namespace rilo::com::testing
