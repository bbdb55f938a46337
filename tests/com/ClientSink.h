// A C++ event sink, as a compiled client would write one: records what each event brings
// and can write a value into WorkProcess's by-reference argument.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

#include "RiloServer.h"

namespace rilo::com::testing {

class ClientSink final : public IDispatch {
 public:
  std::vector<LONG> work_process;  // the index of each WorkProcess
  /// Written into the argument when WorkProcess brings this value: {seen, write}.
  std::optional<std::pair<LONG, LONG>> write_back;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___ClsRiloSever) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Owned by the test for as long as it is connected.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id != 3 || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != (VT_BYREF | VT_I4)) {
      return S_OK;
    }
    LONG& index = *V_I4REF(&params->rgvarg[0]);
    work_process.push_back(index);
    if (write_back && write_back->first == index) {
      index = write_back->second;
      write_back.reset();
    }
    return S_OK;
  }
};

}  // namespace rilo::com::testing
