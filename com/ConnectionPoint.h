// The connection point of the event interface __ClsRiloSever: the sinks of one object, in
// the order they connected, and the raising of an event to each of them.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <vector>

namespace rilo::com {

class ConnectionPoint final : public IConnectionPoint {
 public:
  /// Part of `container`, which it lives and counts references with.
  explicit ConnectionPoint(IConnectionPointContainer& container);
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  /// Calls event `dispid` on each sink connected when the call begins, in connection order,
  /// with `args` (in rgvarg order). A sink that disconnects meanwhile is skipped; a sink whose
  /// client has gone is dropped; anything else a sink answers is ignored.
  void Raise(DISPID dispid, VARIANTARG* args, UINT count);

  /// Lets every sink go (the object is going).
  void DisconnectAll();

 private:
  struct Connection {
    DWORD cookie;
    Microsoft::WRL::ComPtr<IDispatch> sink;
  };
  bool IsConnected(DWORD cookie) const;

  IConnectionPointContainer& container_;
  std::vector<Connection> connections_;
  DWORD last_cookie_ = 0;
};

/// Whether a failed call means the client behind the proxy has gone for good.
bool IsClientGone(HRESULT hr);

}  // namespace rilo::com
