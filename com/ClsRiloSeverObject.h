// One ClsRiloSever as automation clients see it: the dual interface _ClsRiloSever over the
// C++ class, its events through a connection point, and the class information hosts use
// to find the event interface.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

#include "ConnectionPoint.h"
#include "RiloServer.h"
#include "rilo/ClsRiloSever.h"

namespace rilo::com {

class EventForwarder;
class ServerLifetime;

class ClsRiloSeverObject final : public _ClsRiloSever,
                                 public IProvideClassInfo2,
                                 public IConnectionPointContainer {
 public:
  /// Makes an object on `thread`, the calling thread, and hands out interface `riid` of it.
  static HRESULT Create(std::shared_ptr<ServerThread> thread, ServerLifetime& lifetime, REFIID riid,
                        void** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* arg_err) override;

  // _ClsRiloSever. Every method reports success.
  HRESULT STDMETHODCALLTYPE StartServer(DATE MyDate, BSTR MyDpName, BSTR MySetStr,
                                        LONG* StartInterval) override;
  HRESULT STDMETHODCALLTYPE StartUpdate(BSTR MySetStr, VARIANT_BOOL GetNetwork,
                                        BSTR MyDpName) override;
  HRESULT STDMETHODCALLTYPE StartRun() override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

  ConnectionPoint& events() { return events_; }

 private:
  ClsRiloSeverObject(ServerLifetime& lifetime, Microsoft::WRL::ComPtr<ITypeInfo> type_info);
  ~ClsRiloSeverObject();

  HRESULT InvokeStartServer(const DISPPARAMS* params, LCID lcid, UINT* arg_err);
  HRESULT InvokeStartUpdate(const DISPPARAMS* params, LCID lcid, UINT* arg_err);

  std::atomic<ULONG> refs_{1};
  ServerLifetime& lifetime_;
  Microsoft::WRL::ComPtr<ITypeInfo> type_info_;  // of _ClsRiloSever
  ConnectionPoint events_;
  std::shared_ptr<ClsRiloSever> server_;
  std::shared_ptr<EventForwarder> forwarder_;
};

}  // namespace rilo::com
