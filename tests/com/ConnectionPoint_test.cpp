// Raising an event to the sinks of one connection point, in process.
#include "ConnectionPoint.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <olectl.h>

#include <functional>
#include <string>

namespace rilo::com {
namespace {

// The object the connection point belongs to: only its reference count matters here.
struct Container final : IConnectionPointContainer {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint**) override {
    return E_NOTIMPL;
  }
};

// A sink that notes its name and answers what it is told to.
struct Sink final : IDispatch {
  Sink(std::string n, std::string& log) : name(std::move(n)), calls(log) {}
  std::string name;
  std::string& calls;
  HRESULT answer = S_OK;
  std::function<void()> during;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    calls += name;
    if (during) during();
    return answer;
  }
};

TEST(ConnectionPoint, SinksHearEventsInConnectionOrderAndAGoneClientIsDroppedOthersStay) {
  Container container;
  ConnectionPoint point(container);
  std::string calls;
  Sink a("a", calls), b("b", calls), c("c", calls), d("d", calls);
  DWORD cookie_a = 0, cookie_b = 0, cookie_c = 0, cookie_d = 0;
  ASSERT_HRESULT_SUCCEEDED(point.Advise(&a, &cookie_a));
  ASSERT_HRESULT_SUCCEEDED(point.Advise(&b, &cookie_b));
  ASSERT_HRESULT_SUCCEEDED(point.Advise(&c, &cookie_c));
  ASSERT_HRESULT_SUCCEEDED(point.Advise(&d, &cookie_d));
  b.answer = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);  // its client died
  c.answer = E_FAIL;                                        // a failing handler stays
  a.during = [&] { point.Unadvise(cookie_d); };             // d leaves before its turn

  point.Raise(3, nullptr, 0);
  EXPECT_EQ(calls, "abc");
  calls.clear();
  a.during = nullptr;
  point.Raise(3, nullptr, 0);
  EXPECT_EQ(calls, "ac");
  EXPECT_EQ(point.Unadvise(cookie_b), CONNECT_E_NOCONNECTION);
}

}  // namespace
}  // namespace rilo::com
