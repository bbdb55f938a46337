#include "ConnectionPoint.h"

#include <olectl.h>

#include <algorithm>

#include "Enumerator.h"
#include "RiloServer.h"

namespace rilo::com {

bool IsClientGone(HRESULT hr) {
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
      return true;
    default:
      return false;
  }
}

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container) : container_(container) {}

ConnectionPoint::~ConnectionPoint() = default;

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() { return container_.AddRef(); }

ULONG ConnectionPoint::Release() { return container_.Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID___ClsRiloSever;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = &container_;
  container_.AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  Microsoft::WRL::ComPtr<IDispatch> events;
  // The event interface itself, or plain IDispatch: script engines' sinks answer only that.
  if (FAILED(sink->QueryInterface(DIID___ClsRiloSever,
                                  reinterpret_cast<void**>(events.GetAddressOf()))) &&
      FAILED(sink->QueryInterface(IID_PPV_ARGS(events.GetAddressOf())))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  // Cookies are not reused while the counter lasts, so a stale one disconnects nothing.
  do {
    ++last_cookie_;
  } while (last_cookie_ == 0 || IsConnected(last_cookie_));
  connections_.push_back({last_cookie_, std::move(events)});
  *cookie = last_cookie_;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  const auto found = std::find_if(connections_.begin(), connections_.end(),
                                  [cookie](const Connection& c) { return c.cookie == cookie; });
  if (found == connections_.end()) return CONNECT_E_NOCONNECTION;
  // Out of the list before the sink is released: its release may call back into us.
  const auto sink = std::move(found->sink);
  connections_.erase(found);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
  std::vector<CONNECTDATA> items;
  for (const Connection& c : connections_) items.push_back({c.sink.Get(), c.cookie});
  return Enumerator<IEnumConnections, CONNECTDATA>::Create(std::move(items), out);
}

bool ConnectionPoint::IsConnected(DWORD cookie) const {
  return std::any_of(connections_.begin(), connections_.end(),
                     [cookie](const Connection& c) { return c.cookie == cookie; });
}

void ConnectionPoint::Raise(DISPID dispid, VARIANTARG* args, UINT count) {
  const auto snapshot = connections_;
  for (const Connection& c : snapshot) {
    if (!IsConnected(c.cookie)) continue;
    DISPPARAMS params{args, nullptr, count, 0};
    const HRESULT hr = c.sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &params, nullptr, nullptr, nullptr);
    if (IsClientGone(hr)) Unadvise(c.cookie);
  }
}

void ConnectionPoint::DisconnectAll() {
  const auto gone = std::move(connections_);
  connections_.clear();
}

}  // namespace rilo::com
