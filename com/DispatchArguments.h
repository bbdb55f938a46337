// The arguments of one IDispatch::Invoke, read as automation clients really send them:
// variables by reference (VT_BYREF|VT_VARIANT), literals by value, numbers of any width,
// dates as VT_DATE or text, named arguments, and optional ones left out.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

namespace rilo::com {

class DispatchArguments {
 public:
  /// `arg_err` (may be null) receives the rgvarg index of an argument that is refused.
  DispatchArguments(const DISPPARAMS* params, LCID lcid, UINT* arg_err);

  /// Places the arguments in parameter order for a method of `total` parameters, of which
  /// the first `required` may not be left out. DISP_E_BADPARAMCOUNT for too many or too few,
  /// DISP_E_PARAMNOTFOUND for a named argument the method does not have.
  HRESULT Bind(UINT required, UINT total);

  /// Parameter `index` (0 = first) coerced to the type; DISP_E_TYPEMISMATCH or
  /// DISP_E_OVERFLOW when automation cannot convert it.
  HRESULT Date(UINT index, DATE& out) const;
  HRESULT Text(UINT index, std::string& out) const;
  HRESULT Bool(UINT index, VARIANT_BOOL& out) const;
  /// An optional number: `fallback` when the argument was left out.
  HRESULT OptionalLong(UINT index, LONG fallback, LONG& out) const;

 private:
  /// The value behind parameter `index` with every by-reference variant unwrapped; null
  /// when it was left out (not sent, sent as DISP_E_PARAMNOTFOUND, or a null reference).
  const VARIANT* Value(UINT index) const;
  HRESULT Coerce(UINT index, VARTYPE type, VARIANT& out) const;
  HRESULT Refuse(UINT index, HRESULT hr) const;

  const DISPPARAMS* params_;
  LCID lcid_;
  UINT* arg_err_;
  std::vector<int> slot_;  // rgvarg index of each parameter, -1 when not sent
};

}  // namespace rilo::com
