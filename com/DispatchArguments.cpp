#include "DispatchArguments.h"

#include "Utf16.h"

namespace rilo::com {
namespace {

// A variant that owns what it holds.
struct OwnedVariant {
  VARIANT value;
  OwnedVariant() { VariantInit(&value); }
  ~OwnedVariant() { VariantClear(&value); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
};

bool IsMissing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

DispatchArguments::DispatchArguments(const DISPPARAMS* params, LCID lcid, UINT* arg_err)
    : params_(params), lcid_(lcid), arg_err_(arg_err) {}

HRESULT DispatchArguments::Bind(UINT required, UINT total) {
  const UINT count = params_ ? params_->cArgs : 0;
  const UINT named = params_ ? params_->cNamedArgs : 0;
  if (count > total || named > count) return DISP_E_BADPARAMCOUNT;
  slot_.assign(total, -1);
  // Named arguments come first in rgvarg; their DISPIDs are parameter positions.
  for (UINT k = 0; k < named; ++k) {
    const DISPID position = params_->rgdispidNamedArgs[k];
    if (position < 0 || static_cast<UINT>(position) >= total || slot_[position] != -1) {
      return Refuse(k, DISP_E_PARAMNOTFOUND);
    }
    slot_[position] = static_cast<int>(k);
  }
  // Positional arguments follow, the last parameter first.
  const UINT positional = count - named;
  for (UINT i = 0; i < positional; ++i) {
    const UINT k = count - 1 - i;
    if (slot_[i] != -1) return Refuse(k, DISP_E_PARAMNOTFOUND);
    slot_[i] = static_cast<int>(k);
  }
  for (UINT i = 0; i < required; ++i) {
    if (slot_[i] == -1) return DISP_E_BADPARAMCOUNT;
    if (Value(i) == nullptr) return Refuse(static_cast<UINT>(slot_[i]), DISP_E_PARAMNOTOPTIONAL);
  }
  return S_OK;
}

const VARIANT* DispatchArguments::Value(UINT index) const {
  if (index >= slot_.size() || slot_[index] < 0) return nullptr;
  const VARIANT* v = &params_->rgvarg[slot_[index]];
  while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
    v = V_VARIANTREF(v);
    if (v == nullptr) return nullptr;
  }
  if (IsMissing(*v)) return nullptr;
  // A by-reference argument with nothing behind it: how some dispatchers pass one left out.
  if ((V_VT(v) & VT_BYREF) != 0 && V_BYREF(v) == nullptr) return nullptr;
  return v;
}

HRESULT DispatchArguments::Refuse(UINT index, HRESULT hr) const {
  if (arg_err_ != nullptr) *arg_err_ = index;
  return hr;
}

HRESULT DispatchArguments::Coerce(UINT index, VARTYPE type, VARIANT& out) const {
  const VARIANT* v = Value(index);
  if (v == nullptr) return Refuse(static_cast<UINT>(slot_[index]), DISP_E_PARAMNOTOPTIONAL);
  const HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(v), lcid_, 0, type);
  if (FAILED(hr)) {
    return Refuse(static_cast<UINT>(slot_[index]),
                  hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH);
  }
  return S_OK;
}

HRESULT DispatchArguments::Date(UINT index, DATE& out) const {
  OwnedVariant v;
  const HRESULT hr = Coerce(index, VT_DATE, v.value);
  if (SUCCEEDED(hr)) out = V_DATE(&v.value);
  return hr;
}

HRESULT DispatchArguments::Text(UINT index, std::string& out) const {
  OwnedVariant v;
  const HRESULT hr = Coerce(index, VT_BSTR, v.value);
  if (SUCCEEDED(hr)) out = ToUtf8(V_BSTR(&v.value));
  return hr;
}

HRESULT DispatchArguments::Bool(UINT index, VARIANT_BOOL& out) const {
  OwnedVariant v;
  const HRESULT hr = Coerce(index, VT_BOOL, v.value);
  if (SUCCEEDED(hr)) out = V_BOOL(&v.value);
  return hr;
}

HRESULT DispatchArguments::OptionalLong(UINT index, LONG fallback, LONG& out) const {
  if (Value(index) == nullptr) {
    out = fallback;
    return S_OK;
  }
  OwnedVariant v;
  const HRESULT hr = Coerce(index, VT_I4, v.value);
  if (SUCCEEDED(hr)) out = V_I4(&v.value);
  return hr;
}

}  // namespace rilo::com
