#include "LocalServer.h"

#include <windows.h>

#include <objbase.h>

#include <chrono>
#include <memory>

#include "ClassFactory.h"
#include "RiloServer.h"
#include "ServerLifetime.h"

namespace rilo::com {
namespace {

// A server that COM started for a client which died before it asked for an object.
constexpr std::chrono::minutes kFirstObjectWithin{1};

}  // namespace

// Every object lives on the server thread, and so do its timers, its jobs and its events:
// the apartment is made on that thread and the class object registered there, so COM
// delivers each call as a window message that the thread's own loop dispatches between
// ticks. The main thread only waits for the end.
int RunLocalServer(ServerThreadOptions options) {
  ServerLifetime lifetime;
  auto thread = ServerThread::Start(std::move(options));
  HRESULT initialized = E_FAIL;
  HRESULT registered = E_FAIL;
  DWORD cookie = 0;
  thread->Invoke([&] {
    initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(initialized)) return;
    auto* factory = new ClassFactory(thread, lifetime);
    registered = CoRegisterClassObject(CLSID_ClsRiloSever, factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie);
    factory->Release();
    if (SUCCEEDED(registered)) registered = CoResumeClassObjects();
  });
  if (SUCCEEDED(registered)) lifetime.WaitForEnd(kFirstObjectWithin);
  thread->Invoke([&] {
    if (cookie != 0) CoRevokeClassObject(cookie);
    if (SUCCEEDED(initialized)) CoUninitialize();
  });
  thread.reset();
  return SUCCEEDED(registered) ? 0 : 3;
}

}  // namespace rilo::com
