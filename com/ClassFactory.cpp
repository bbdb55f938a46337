#include "ClassFactory.h"

#include "ClsRiloSeverObject.h"
#include "ServerLifetime.h"

namespace rilo::com {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return ++refs_; }

ULONG ClassFactory::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return ClsRiloSeverObject::Create(thread_, lifetime_, riid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    lifetime_.AddRef();
  } else {
    lifetime_.Release();
  }
  return S_OK;
}

}  // namespace rilo::com
