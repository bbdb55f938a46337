#include "ClsRiloSeverObject.h"

#include <olectl.h>

#include <new>
#include <string>
#include <utility>

#include "DispatchArguments.h"
#include "Enumerator.h"
#include "EventForwarder.h"
#include "ServerLifetime.h"
#include "TypeLibrary.h"
#include "Utf16.h"

namespace rilo::com {
namespace {

// The methods' dispatch ids, as the type library numbers them.
constexpr DISPID kStartServer = 1;
constexpr DISPID kStartUpdate = 2;
constexpr DISPID kStartRun = 3;

// The class reports success whatever happens inside a method; nothing may cross the
// automation boundary as an exception.
template <class Step>
HRESULT Succeed(Step&& step) noexcept {
  try {
    step();
  } catch (...) {
  }
  return S_OK;
}

}  // namespace

HRESULT ClsRiloSeverObject::Create(std::shared_ptr<ServerThread> thread, ServerLifetime& lifetime,
                                   REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Microsoft::WRL::ComPtr<ITypeInfo> type_info;
  HRESULT hr = LoadOwnTypeInfo(IID__ClsRiloSever, type_info.GetAddressOf());
  if (FAILED(hr)) return hr;
  auto* object = new (std::nothrow) ClsRiloSeverObject(lifetime, std::move(type_info));
  if (object == nullptr) return E_OUTOFMEMORY;
  try {
    object->server_ = ClsRiloSever::Create(std::move(thread));
    object->forwarder_ = std::make_shared<EventForwarder>(*object);
    object->server_->Connect(object->forwarder_);
    hr = object->QueryInterface(riid, out);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  object->Release();
  return hr;
}

ClsRiloSeverObject::ClsRiloSeverObject(ServerLifetime& lifetime,
                                       Microsoft::WRL::ComPtr<ITypeInfo> type_info)
    : lifetime_(lifetime), type_info_(std::move(type_info)), events_(*this) {
  lifetime_.AddRef();
}

ClsRiloSeverObject::~ClsRiloSeverObject() {
  if (forwarder_) forwarder_->Detach();
  events_.DisconnectAll();
  server_.reset();  // stops the timers; a job under way finishes without us
  lifetime_.Release();
}

HRESULT ClsRiloSeverObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__ClsRiloSever) {
    *out = static_cast<_ClsRiloSever*>(this);
  } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (riid == IID_IConnectionPointContainer) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ClsRiloSeverObject::AddRef() { return ++refs_; }

ULONG ClsRiloSeverObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClsRiloSeverObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT ClsRiloSeverObject::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return type_info_.CopyTo(out);
}

HRESULT ClsRiloSeverObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(type_info_.Get(), names, count, ids);
}

HRESULT ClsRiloSeverObject::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT* arg_err) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (result != nullptr) VariantInit(result);
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  switch (id) {
    case kStartServer:
      return InvokeStartServer(params, lcid, arg_err);
    case kStartUpdate:
      return InvokeStartUpdate(params, lcid, arg_err);
    case kStartRun: {
      DispatchArguments args(params, lcid, arg_err);
      const HRESULT hr = args.Bind(0, 0);
      return FAILED(hr) ? hr : StartRun();
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT ClsRiloSeverObject::InvokeStartServer(const DISPPARAMS* params, LCID lcid, UINT* arg_err) {
  DispatchArguments args(params, lcid, arg_err);
  DATE date = 0;
  std::string store;
  std::string settings;
  LONG interval = 0;
  HRESULT hr = args.Bind(3, 4);
  if (SUCCEEDED(hr)) hr = args.Date(0, date);
  if (SUCCEEDED(hr)) hr = args.Text(1, store);
  if (SUCCEEDED(hr)) hr = args.Text(2, settings);
  if (SUCCEEDED(hr)) hr = args.OptionalLong(3, 0, interval);
  if (FAILED(hr)) return hr;
  // StartInterval is read only: nothing is written back into the caller's variable.
  return Succeed([&] { server_->StartServer(date, store, settings, interval); });
}

HRESULT ClsRiloSeverObject::InvokeStartUpdate(const DISPPARAMS* params, LCID lcid, UINT* arg_err) {
  DispatchArguments args(params, lcid, arg_err);
  std::string settings;
  VARIANT_BOOL get_network = VARIANT_FALSE;
  std::string store;
  HRESULT hr = args.Bind(3, 3);
  if (SUCCEEDED(hr)) hr = args.Text(0, settings);
  if (SUCCEEDED(hr)) hr = args.Bool(1, get_network);
  if (SUCCEEDED(hr)) hr = args.Text(2, store);
  if (FAILED(hr)) return hr;
  return Succeed([&] { server_->StartUpdate(settings, get_network, store); });
}

HRESULT ClsRiloSeverObject::StartServer(DATE MyDate, BSTR MyDpName, BSTR MySetStr,
                                        LONG* StartInterval) {
  // Left out, the optional argument may come as a null pointer.
  const LONG interval = StartInterval != nullptr ? *StartInterval : 0;
  return Succeed(
      [&] { server_->StartServer(MyDate, ToUtf8(MyDpName), ToUtf8(MySetStr), interval); });
}

HRESULT ClsRiloSeverObject::StartUpdate(BSTR MySetStr, VARIANT_BOOL GetNetwork, BSTR MyDpName) {
  return Succeed([&] { server_->StartUpdate(ToUtf8(MySetStr), GetNetwork, ToUtf8(MyDpName)); });
}

HRESULT ClsRiloSeverObject::StartRun() {
  return Succeed([&] { server_->StartRun(); });
}

HRESULT ClsRiloSeverObject::GetClassInfo(ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return LoadOwnTypeInfo(CLSID_ClsRiloSever, out);
}

HRESULT ClsRiloSeverObject::GetGUID(DWORD kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *out = GUID_NULL;
    return E_INVALIDARG;
  }
  *out = DIID___ClsRiloSever;
  return S_OK;
}

HRESULT ClsRiloSeverObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
  return Enumerator<IEnumConnectionPoints, IConnectionPoint*>::Create({&events_}, out);
}

HRESULT ClsRiloSeverObject::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid != DIID___ClsRiloSever) return CONNECT_E_NOCONNECTION;
  *out = &events_;
  events_.AddRef();
  return S_OK;
}

}  // namespace rilo::com
