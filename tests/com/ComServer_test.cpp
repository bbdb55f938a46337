// RiloServer.exe as automation clients use it, under Wine: registration, scripts run by the
// real VBScript engine, and a compiled client for what scripts cannot show.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "ClientSink.h"
#include "RiloServer.h"
#include "ScriptHost.h"
#include "ServerProcesses.h"
#include "rilo/ClsRiloSever.h"
#include "rilo/SampleChain.h"

namespace rilo::com::testing {
namespace {

using Microsoft::WRL::ComPtr;
using namespace std::chrono_literals;

std::filesystem::path TestFolder(const std::string& name) {
  // A full path with its drive: the server, started by COM, has a working folder of its own.
  const auto dir =
      std::filesystem::absolute(std::filesystem::path(RILO_TEST_TMPDIR) / "com" / name);
  std::filesystem::remove_all(dir);
  return dir;
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The summary the library itself gives for the chain, in this process on a virtual clock.
std::string SummaryInProcess(const schema::SampleChain& chain) {
  struct Listener : ClsRiloSeverEvents {
    std::string text;
    void ServerStart(std::string& str) override {
      if (text.empty()) text = str;
    }
  };
  auto thread = ServerThread::Attach({std::make_shared<VirtualClock>(), nullptr});
  auto listener = std::make_shared<Listener>();
  auto server = ClsRiloSever::Create(thread);
  server->Connect(listener);
  server->StartServer(46089.0, "中心店", chain.settings_string, 1000);
  thread->RunUntil([&] { return !listener->text.empty(); }, 5s);
  server.reset();
  return listener->text;
}

struct ScriptCase : ::testing::Test {
  ScriptRun Run(const std::string& script, const std::string& name) {
    const auto chain = schema::CreateSampleChain({.dir = TestFolder(name)});
    const std::string nowhere = "sqlite:" + TestFolder(name + "-nowhere").string();
    std::map<std::string, std::string> values{
        {"settings", chain.settings_string},
        {"unreachable", nowhere + "｜｜｜HQ｜" + nowhere + "｜｜｜Store"},
        {"summary", SummaryInProcess(chain)}};
    EXPECT_NE(values["summary"], "");
    const auto scripts = std::filesystem::path(RILO_COM_SCRIPTS);
    return RunVbScript(ReadFile(scripts / "Common.vbs") + "\n" + ReadFile(scripts / script),
                       values);
  }
  void TearDown() override { EXPECT_EQ(KillServerProcesses(), 0u) << "a server was left running"; }
};

TEST_F(ScriptCase, FirstCreationStartsTheServerASecondSharesItsSettingsTheLastReleaseEndsIt) {
  const auto run = Run("Lifetime.vbs", "lifetime");
  EXPECT_TRUE(run.ran);
  EXPECT_TRUE(run.failures.empty()) << ::testing::PrintToString(run.failures);
}

TEST_F(ScriptCase, DateChineseTextAVariableAndALeftOutStartIntervalArriveAsMeant) {
  const auto run = Run("Arguments.vbs", "arguments");
  EXPECT_TRUE(run.ran);
  EXPECT_TRUE(run.failures.empty()) << ::testing::PrintToString(run.failures);
}

TEST_F(ScriptCase, EveryEventOfTheSampleChainReachesTheScript) {
  const auto run = Run("Events.vbs", "events");
  EXPECT_TRUE(run.ran);
  EXPECT_TRUE(run.failures.empty()) << ::testing::PrintToString(run.failures);
}

// Serves window messages until `done` or the time-out.
template <class Done>
bool PumpUntil(Done done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  return true;
}

// The number of connected sinks, or nothing when the enumeration itself failed: a sink that
// cannot be handed back to us (its client is gone) must not read as "not connected".
std::optional<std::size_t> CountConnections(IConnectionPoint* point) {
  ComPtr<IEnumConnections> connections;
  if (FAILED(point->EnumConnections(connections.GetAddressOf()))) return std::nullopt;
  std::size_t count = 0;
  for (;;) {
    CONNECTDATA data{};
    const HRESULT hr = connections->Next(1, &data, nullptr);
    if (hr == S_FALSE) return count;
    if (hr != S_OK || data.pUnk == nullptr) return std::nullopt;
    data.pUnk->Release();
    ++count;
  }
}

struct ClientCase : ::testing::Test {
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ClsRiloSever, nullptr, CLSCTX_LOCAL_SERVER,
                                              IID_PPV_ARGS(server.GetAddressOf())));
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HRESULT_SUCCEEDED(server.As(&container));
    ASSERT_HRESULT_SUCCEEDED(
        container->FindConnectionPoint(DIID___ClsRiloSever, point.GetAddressOf()));
  }
  void TearDown() override {
    if (point && cookie != 0) point->Unadvise(cookie);
    point.Reset();
    server.Reset();
    EXPECT_TRUE(expect_server_left || WaitForServerExit(10000)) << "the server did not end";
    EXPECT_EQ(KillServerProcesses() > 0, expect_server_left);
  }
  ComPtr<_ClsRiloSever> server;
  ComPtr<IConnectionPoint> point;
  ClientSink sink;
  DWORD cookie = 0;
  bool expect_server_left = false;
};

TEST_F(ClientCase, AValueASinkWritesIntoWorkProcessIsWhereTheCounterGoesOn) {
  ASSERT_HRESULT_SUCCEEDED(point->Advise(&sink, &cookie));
  sink.write_back = {{20, 351}};
  ASSERT_HRESULT_SUCCEEDED(server->StartRun());
  ASSERT_TRUE(PumpUntil([&] { return sink.work_process.size() >= 6; }, 20000));
  // 351 + 10 is 361, not above 361, so it is reported; the tick after it starts again.
  EXPECT_EQ(std::vector<LONG>(sink.work_process.begin(), sink.work_process.begin() + 6),
            (std::vector<LONG>{0, 10, 20, 361, 0, 10}));
}

TEST_F(ClientCase, DirectCallsThroughTheDualInterfaceSucceedAndLeaveStartIntervalAlone) {
  BSTR store = SysAllocString(L"中心店");
  BSTR settings = SysAllocString(L"sqlite:Z:\\nowhere｜｜｜HQ｜sqlite:Z:\\nowhere｜｜｜Store");
  LONG interval = 25000;
  EXPECT_HRESULT_SUCCEEDED(server->StartServer(46089.0, store, settings, &interval));
  EXPECT_EQ(interval, 25000);
  EXPECT_HRESULT_SUCCEEDED(server->StartUpdate(settings, VARIANT_TRUE, store));
  SysFreeString(store);
  SysFreeString(settings);
}

// The child process of the next test: connects a sink to the object it is handed, then dies
// without releasing anything.
int AdviseAndDie(const std::string& hex) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  ComPtr<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  stream->Seek({}, STREAM_SEEK_SET, nullptr);
  ComPtr<IConnectionPoint> point;
  if (FAILED(CoUnmarshalInterface(stream.Get(), IID_PPV_ARGS(point.GetAddressOf())))) return 2;
  static ClientSink sink;
  DWORD cookie = 0;
  if (FAILED(point->Advise(&sink, &cookie))) return 3;
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

TEST_F(ClientCase, ASinkWhoseClientWasKilledIsDroppedAndTheOthersGoOn) {
  // Hand the connection point to a child process, which connects first and is killed.
  ComPtr<IStream> stream;
  ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()));
  ASSERT_HRESULT_SUCCEEDED(CoMarshalInterface(stream.Get(), IID_IConnectionPoint, point.Get(),
                                              MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL));
  HGLOBAL memory = nullptr;
  GetHGlobalFromStream(stream.Get(), &memory);
  const auto* data = static_cast<const unsigned char*>(GlobalLock(memory));
  std::wstring hex;
  for (SIZE_T i = 0; i < GlobalSize(memory); ++i) {
    wchar_t pair[3];
    swprintf(pair, 3, L"%02x", data[i]);
    hex += pair;
  }
  GlobalUnlock(memory);
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  std::wstring command = L"\"" + self + L"\" --advise-and-die " + hex;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child));
  ASSERT_TRUE(
      PumpUntil([&] { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; }, 30000));
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  ASSERT_EQ(CountConnections(point.Get()), std::optional<std::size_t>(1))
      << "the child's sink was not connected";

  ASSERT_HRESULT_SUCCEEDED(point->Advise(&sink, &cookie));
  ASSERT_HRESULT_SUCCEEDED(server->StartRun());
  ASSERT_TRUE(PumpUntil([&] { return sink.work_process.size() >= 3; }, 20000));
  EXPECT_EQ(std::vector<LONG>(sink.work_process.begin(), sink.work_process.begin() + 3),
            (std::vector<LONG>{0, 10, 20}));
  // Our own sink leaves before counting: enumerating while its events arrive would nest calls
  // both ways, which Wine's marshalling does not survive.
  ASSERT_HRESULT_SUCCEEDED(point->Unadvise(std::exchange(cookie, 0)));
  EXPECT_EQ(CountConnections(point.Get()), std::optional<std::size_t>(0))
      << "the dead client's sink is still connected";
  // The killed client's references are never released, so its server stays until ended.
  expect_server_left = true;
}

}  // namespace
}  // namespace rilo::com::testing

namespace {

// Registers the server for the test prefix; COM under Wine reads classes for all users only
// (HKLM), so that is where the tests' activations find it. The virtual clock lets a minute of
// schedule pass at once.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    using namespace rilo::com::testing;
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    KillServerProcesses();
    ASSERT_EQ(RunServerCommand(L"/RegServer /VirtualClock", 60000), 0);
  }
  void TearDown() override {
    using namespace rilo::com::testing;
    KillServerProcesses();
    EXPECT_EQ(RunServerCommand(L"/UnregServer", 60000), 0);
    CoUninitialize();
  }
};

// Ends the test, and any server it started, when it takes far too long: a server started by
// COM holds the test's standard output, which the test runner waits on.
void StartWatchdog(DWORD ms) {
  CreateThread(
      nullptr, 0,
      [](void* limit) -> DWORD {
        Sleep(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(limit)));
        std::fprintf(stderr, "com_tests: timed out\n");
        rilo::com::testing::KillServerProcesses();
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
      },
      reinterpret_cast<void*>(static_cast<UINT_PTR>(ms)), 0, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--advise-and-die") {
    return rilo::com::testing::AdviseAndDie(argv[2]);
  }
  StartWatchdog(240000);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new ComEnvironment);
  return RUN_ALL_TESTS();
}
