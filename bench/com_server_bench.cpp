// RiloServer.exe in real time (Windows, or Wine): how long a host waits for the first object,
// what a call across processes costs, and how many WorkProcess events a script client gets
// per second (the ticker's period is 10 ms, so 100 is the ceiling).
//
//   make bench-windows, or: WINEPREFIX=... wine build-windows/com_server_bench.exe
#include <windows.h>

#include <objbase.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ClientSink.h"
#include "RiloServer.h"
#include "ScriptHost.h"
#include "ServerProcesses.h"

namespace {

using Microsoft::WRL::ComPtr;
using Clock = std::chrono::steady_clock;
using namespace rilo::com::testing;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void FirstCreation() {
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    ComPtr<_ClsRiloSever> server;
    if (FAILED(CoCreateInstance(CLSID_ClsRiloSever, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_PPV_ARGS(server.GetAddressOf())))) {
      std::printf("first creation: CoCreateInstance failed\n");
      return;
    }
    server->StartRun();
    times.push_back(Ms(Clock::now() - start));
    server.Reset();
    if (!WaitForServerExit(10000)) KillServerProcesses();
  }
  std::printf(
      "first creation until the first method returns: median %.1f ms of 5 (server "
      "process started each time)\n",
      Median(times));
}

void RoundTrips() {
  ComPtr<_ClsRiloSever> server;
  if (FAILED(CoCreateInstance(CLSID_ClsRiloSever, nullptr, CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(server.GetAddressOf())))) {
    return;
  }
  constexpr int kCalls = 2000;
  auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) server->StartRun();
  const double direct = Ms(Clock::now() - start) * 1000 / kCalls;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  start = Clock::now();
  for (int i = 0; i < kCalls; ++i) {
    server->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                   nullptr);
  }
  const double late = Ms(Clock::now() - start) * 1000 / kCalls;
  std::printf(
      "method call round trip across processes: %.0f us through the dual interface, "
      "%.0f us through IDispatch::Invoke (%d calls each)\n",
      direct, late, kCalls);
  server.Reset();
  if (!WaitForServerExit(10000)) KillServerProcesses();
}

// Serves incoming calls (the events) for `ms`.
void Pump(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void CompiledClientEvents() {
  ComPtr<IConnectionPointContainer> server;
  ComPtr<IConnectionPoint> point;
  if (FAILED(CoCreateInstance(CLSID_ClsRiloSever, nullptr, CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(server.GetAddressOf()))) ||
      FAILED(server->FindConnectionPoint(DIID___ClsRiloSever, point.GetAddressOf()))) {
    return;
  }
  ClientSink sink;
  DWORD cookie = 0;
  point->Advise(&sink, &cookie);
  ComPtr<_ClsRiloSever> methods;
  server.As(&methods);
  methods->StartRun();
  Pump(1000);
  const auto before = sink.work_process.size();
  Pump(5000);
  std::printf("WorkProcess events received by a compiled client: %.1f per second (5 s)\n",
              static_cast<double>(sink.work_process.size() - before) / 5.0);
  point->Unadvise(cookie);
  point.Reset();
  methods.Reset();
  server.Reset();
  if (!WaitForServerExit(10000)) KillServerProcesses();
}

void ScriptEvents() {
  const auto run = RunVbScript(R"(
    Dim n
    Set s = WScript.CreateObject("RiloServer.ClsRiloSever", "s_")
    s.StartRun
    WScript.Sleep 1000
    n = 0
    WScript.Sleep 5000
    WScript.Echo n
    WScript.DisconnectObject s
    Set s = Nothing
    Sub s_WorkProcess(index)
      n = n + 1
    End Sub
  )",
                               {});
  if (!run.failures.empty() || run.echoed.empty()) {
    std::printf("script events: the script failed\n");
    return;
  }
  std::printf("WorkProcess events received by a VBScript client: %.1f per second (5 s)\n",
              std::stod(run.echoed.back()) / 5.0);
  if (!WaitForServerExit(10000)) KillServerProcesses();
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // each figure as soon as it is known
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  KillServerProcesses();
  if (RunServerCommand(L"/RegServer", 60000) != 0) {
    std::printf("cannot register RiloServer.exe\n");
    return 1;
  }
  FirstCreation();
  RoundTrips();
  CompiledClientEvents();
  ScriptEvents();
  RunServerCommand(L"/UnregServer", 60000);
  CoUninitialize();
  return 0;
}
