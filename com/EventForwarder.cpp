#include "EventForwarder.h"

#include <wrl/client.h>

#include "ClsRiloSeverObject.h"
#include "Utf16.h"

namespace rilo::com {
namespace {

// The events' dispatch ids, as the type library numbers them.
constexpr DISPID kServerStart = 1;
constexpr DISPID kTipsUpdate = 2;
constexpr DISPID kWorkProcess = 3;
constexpr DISPID kTipsStart = 4;

}  // namespace

void EventForwarder::Raise(DISPID id, VARIANT& arg) {
  if (owner_ == nullptr) return;
  // A sink may release the last reference to the object from inside the event.
  const Microsoft::WRL::ComPtr<_ClsRiloSever> keep(owner_);
  owner_->events().Raise(id, &arg, 1);
}

void EventForwarder::RaiseText(DISPID id, const std::string& text) {
  BSTR copy = ToBstr(text);
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&arg) = &copy;
  Raise(id, arg);
  SysFreeString(copy);  // whatever a sink left in it
}

void EventForwarder::ServerStart(std::string& str) { RaiseText(kServerStart, str); }

void EventForwarder::TipsStart(std::string& str) { RaiseText(kTipsStart, str); }

void EventForwarder::TipsUpdate(VariantBool& Pd) {
  VARIANT_BOOL copy = Pd;
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&arg) = &copy;
  Raise(kTipsUpdate, arg);
}

void EventForwarder::WorkProcess(std::int32_t& index) {
  LONG counter = index;
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BYREF | VT_I4;
  V_I4REF(&arg) = &counter;
  Raise(kWorkProcess, arg);
  index = counter;  // the last sink's word on where the counter goes on from
}

}  // namespace rilo::com
