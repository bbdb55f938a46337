#include "ScriptHost.h"

#include <windows.h>

#include <activscp.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwctype>
#include <string>

#include "ServerProcesses.h"
#include "Utf16.h"

namespace rilo::com::testing {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// Serves window messages (incoming COM calls among them) for `ms`.
void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

// Base of the host's own dispatch objects: IUnknown and the type-information stubs.
class DispatchBase : public IDispatch {
 public:
  virtual ~DispatchBase() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == extra_iid_) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

 protected:
  IID extra_iid_ = IID_NULL;

 private:
  ULONG refs_ = 1;
};

// Passes the events of one object to the script's subs named prefix + event name.
class EventSink final : public DispatchBase {
 public:
  EventSink(IActiveScript& engine, std::wstring prefix, ComPtr<ITypeInfo> events, IID iid)
      : engine_(engine), prefix_(std::move(prefix)), events_(std::move(events)) {
    extra_iid_ = iid;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    BSTR name = nullptr;
    UINT count = 0;
    if (FAILED(events_->GetNames(id, &name, 1, &count)) || count == 0) return S_OK;
    std::wstring sub = prefix_ + name;
    SysFreeString(name);
    ComPtr<IDispatch> script;
    if (FAILED(engine_.GetScriptDispatch(nullptr, script.GetAddressOf()))) return S_OK;
    LPOLESTR names[] = {sub.data()};
    DISPID sub_id = 0;
    if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, lcid, &sub_id))) return S_OK;
    script->Invoke(sub_id, IID_NULL, lcid, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
    return S_OK;
  }

 private:
  IActiveScript& engine_;
  std::wstring prefix_;
  ComPtr<ITypeInfo> events_;
};

struct Connection {
  ComPtr<IUnknown> object;  // its identity
  ComPtr<IConnectionPoint> point;
  DWORD cookie;
};

// The WScript object of the scripts.
class WScriptObject final : public DispatchBase {
 public:
  WScriptObject(ScriptRun& run, const std::map<std::string, std::string>& values)
      : run_(run), values_(values) {}

  IActiveScript* engine = nullptr;

  void DisconnectAll() {
    for (auto& c : connections_) c.point->Unadvise(c.cookie);
    connections_.clear();
  }

  // Ends the events of one object, so that releasing it lets it go.
  void Disconnect(VARIANT* object) {
    VARIANT v;
    VariantInit(&v);
    if (object == nullptr || FAILED(VariantChangeType(&v, object, 0, VT_UNKNOWN))) return;
    ComPtr<IUnknown> identity;
    V_UNKNOWN(&v)->QueryInterface(IID_PPV_ARGS(identity.GetAddressOf()));
    VariantClear(&v);
    std::erase_if(connections_, [&](Connection& c) {
      if (c.object != identity) return false;
      c.point->Unadvise(c.cookie);
      return true;
    });
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    static const wchar_t* const kMethods[] = {L"echo",
                                              L"sleep",
                                              L"createobject",
                                              L"quit",
                                              L"arg",
                                              L"check",
                                              L"serverprocesses",
                                              L"waitforserverexit",
                                              L"disconnectobject"};
    const std::wstring name = Lower(names[0]);
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID i = 0; i < static_cast<DISPID>(std::size(kMethods)); ++i) {
      if (name == kMethods[i]) {
        ids[0] = i + 1;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    // Arguments arrive last-first.
    auto arg = [&](UINT i) -> VARIANT* {
      return i < params->cArgs ? &params->rgvarg[params->cArgs - 1 - i] : nullptr;
    };
    auto text = [&](UINT i) {
      VARIANT v;
      VariantInit(&v);
      std::string out;
      if (arg(i) && SUCCEEDED(VariantChangeType(&v, arg(i), VARIANT_ALPHABOOL, VT_BSTR))) {
        out = ToUtf8(V_BSTR(&v));
      }
      VariantClear(&v);
      return out;
    };
    auto number = [&](UINT i) {
      VARIANT v;
      VariantInit(&v);
      LONG out = 0;
      if (arg(i) && SUCCEEDED(VariantChangeType(&v, arg(i), 0, VT_I4))) out = V_I4(&v);
      return out;
    };
    if (result) VariantInit(result);
    switch (id) {
      case 1: {  // Echo(items...)
        std::string line;
        for (UINT i = 0; i < params->cArgs; ++i) line += (i ? " " : "") + text(i);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        run_.echoed.push_back(line);
        return S_OK;
      }
      case 2:  // Sleep(ms), serving incoming calls meanwhile
        PumpFor(static_cast<DWORD>(number(0)));
        return S_OK;
      case 3:  // CreateObject(progid [, prefix])
        return CreateObject(ToUtf16(text(0)), params->cArgs > 1 ? ToUtf16(text(1)) : L"", result);
      case 4:  // Quit(code)
        run_.exit_code = number(0);
        return S_OK;
      case 5: {  // Arg(name)
        const auto found = values_.find(text(0));
        if (result) {
          V_VT(result) = VT_BSTR;
          V_BSTR(result) = ToBstr(found == values_.end() ? "" : found->second);
        }
        return S_OK;
      }
      case 6: {  // Check(condition, message)
        VARIANT v;
        VariantInit(&v);
        const bool ok = arg(0) && SUCCEEDED(VariantChangeType(&v, arg(0), 0, VT_BOOL)) &&
                        V_BOOL(&v) != VARIANT_FALSE;
        if (!ok) {
          run_.failures.push_back(text(1));
          std::printf("CHECK FAILED: %s\n", text(1).c_str());
        }
        return S_OK;
      }
      case 7:  // ServerProcesses(): RiloServer.exe processes of this build running now
        if (result) {
          V_VT(result) = VT_I4;
          V_I4(result) = static_cast<LONG>(CountServerProcesses());
        }
        return S_OK;
      case 8:  // WaitForServerExit(ms): True when none is left within ms
        if (result) {
          V_VT(result) = VT_BOOL;
          V_BOOL(result) =
              WaitForServerExit(static_cast<DWORD>(number(0))) ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
      case 9:  // DisconnectObject(obj)
        Disconnect(arg(0));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT CreateObject(const std::wstring& progid, const std::wstring& prefix, VARIANT* result) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progid.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    ComPtr<IDispatch> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(object.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (!prefix.empty()) {
      hr = Connect(object.Get(), prefix);
      if (FAILED(hr)) return hr;
    }
    if (result) {
      V_VT(result) = VT_DISPATCH;
      V_DISPATCH(result) = object.Detach();
    }
    return S_OK;
  }

  // Finds the default source interface through the class information, as script hosts do.
  HRESULT Connect(IDispatch* object, const std::wstring& prefix) {
    ComPtr<IProvideClassInfo2> info;
    HRESULT hr = object->QueryInterface(IID_PPV_ARGS(info.GetAddressOf()));
    if (FAILED(hr)) return hr;
    IID iid;
    hr = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> class_info;
    hr = info->GetClassInfo(class_info.GetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeLib> library;
    UINT index = 0;
    hr = class_info->GetContainingTypeLib(library.GetAddressOf(), &index);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> events;
    hr = library->GetTypeInfoOfGuid(iid, events.GetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPointContainer> container;
    hr = object->QueryInterface(IID_PPV_ARGS(container.GetAddressOf()));
    if (FAILED(hr)) return hr;
    Connection c;
    object->QueryInterface(IID_PPV_ARGS(c.object.GetAddressOf()));
    hr = container->FindConnectionPoint(iid, c.point.GetAddressOf());
    if (FAILED(hr)) return hr;
    auto* sink = new EventSink(*engine, prefix, events, iid);
    hr = c.point->Advise(sink, &c.cookie);
    sink->Release();
    if (SUCCEEDED(hr)) connections_.push_back(std::move(c));
    return hr;
  }

  ScriptRun& run_;
  const std::map<std::string, std::string>& values_;
  std::vector<Connection> connections_;
};

class Site final : public IActiveScriptSite {
 public:
  Site(ScriptRun& run, WScriptObject& wscript) : run_(run), wscript_(wscript) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
      *out = static_cast<IActiveScriptSite*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the host's stack for the whole run.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                        ITypeInfo** type) override {
    if (Lower(name) != L"wscript") return TYPE_E_ELEMENTNOTFOUND;
    if (type) *type = nullptr;
    if (mask & SCRIPTINFO_IUNKNOWN) {
      *item = static_cast<IDispatch*>(&wscript_);
      wscript_.AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
    EXCEPINFO info{};
    error->GetExceptionInfo(&info);
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    error->GetSourcePosition(&context, &line, &column);
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(info.scode));
    const std::string message = "script error " + std::string(code) + " on line " +
                                std::to_string(line + 1) + ": " + ToUtf8(info.bstrDescription);
    std::printf("%s\n", message.c_str());
    run_.failures.push_back(message);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

 private:
  ScriptRun& run_;
  WScriptObject& wscript_;
};

}  // namespace

ScriptRun RunVbScript(const std::string& source, const std::map<std::string, std::string>& values) {
  ScriptRun run;
  CLSID vbscript;
  if (FAILED(CLSIDFromProgID(L"VBScript", &vbscript))) {
    run.failures.push_back("no VBScript engine");
    return run;
  }
  ComPtr<IActiveScript> engine;
  ComPtr<IActiveScriptParse> parse;
  if (FAILED(CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(engine.GetAddressOf()))) ||
      FAILED(engine.As(&parse))) {
    run.failures.push_back("cannot start the VBScript engine");
    return run;
  }
  auto* wscript = new WScriptObject(run, values);
  wscript->engine = engine.Get();
  {
    Site site(run, *wscript);
    const std::wstring text = ToUtf16(source);
    EXCEPINFO info{};
    if (SUCCEEDED(engine->SetScriptSite(&site)) && SUCCEEDED(parse->InitNew()) &&
        SUCCEEDED(engine->AddNamedItem(L"WScript", SCRIPTITEM_ISVISIBLE)) &&
        SUCCEEDED(parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                         SCRIPTTEXT_ISVISIBLE, nullptr, &info)) &&
        SUCCEEDED(engine->SetScriptState(SCRIPTSTATE_CONNECTED))) {
      run.ran = true;
    }
    wscript->DisconnectAll();
    engine->Close();
  }
  wscript->Release();
  return run;
}

}  // namespace rilo::com::testing
