// The class object of ClsRiloSever: makes every instance on the server thread.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <memory>

#include "rilo/ServerThread.h"

namespace rilo::com {

class ServerLifetime;

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(std::shared_ptr<ServerThread> thread, ServerLifetime& lifetime)
      : thread_(std::move(thread)), lifetime_(lifetime) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;

  std::atomic<ULONG> refs_{1};
  std::shared_ptr<ServerThread> thread_;
  ServerLifetime& lifetime_;
};

}  // namespace rilo::com
