// How the dispatch arguments of script and late-binding clients are read.
#include "DispatchArguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace rilo::com {
namespace {

VARIANT Long(LONG v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_I4;
  V_I4(&out) = v;
  return out;
}

VARIANT Double(double v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_R8;
  V_R8(&out) = v;
  return out;
}

VARIANT Missing() {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_ERROR;
  V_ERROR(&out) = DISP_E_PARAMNOTFOUND;
  return out;
}

VARIANT ByRef(VARIANT* target) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&out) = target;
  return out;
}

// rgvarg holds the arguments last-first.
DISPPARAMS Positional(std::vector<VARIANT>& last_first) {
  return {last_first.data(), nullptr, static_cast<UINT>(last_first.size()), 0};
}

TEST(DispatchArguments, AVariableByReferenceTextOrAFractionIsCoercedAsAutomationDoes) {
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocString(L"60000");
  std::vector<VARIANT> args{ByRef(&text), Double(2.5)};
  DISPPARAMS params = Positional(args);
  DispatchArguments a(&params, LOCALE_USER_DEFAULT, nullptr);
  ASSERT_HRESULT_SUCCEEDED(a.Bind(0, 2));
  LONG first = 0;
  LONG second = 0;
  EXPECT_HRESULT_SUCCEEDED(a.OptionalLong(0, -1, first));
  EXPECT_HRESULT_SUCCEEDED(a.OptionalLong(1, -1, second));
  EXPECT_EQ(first, 2);  // banker's rounding, as automation rounds
  EXPECT_EQ(second, 60000);
  VariantClear(&text);
}

TEST(DispatchArguments, ALeftOutOptionalIsTheFallbackHoweverItArrives) {
  VARIANT missing = Missing();
  VARIANT null_ref;
  VariantInit(&null_ref);
  V_VT(&null_ref) = VT_BYREF | VT_I4;
  V_I4REF(&null_ref) = nullptr;
  for (VARIANT arg : {Missing(), ByRef(&missing), null_ref}) {
    std::vector<VARIANT> args{arg};
    DISPPARAMS params = Positional(args);
    DispatchArguments a(&params, LOCALE_USER_DEFAULT, nullptr);
    ASSERT_HRESULT_SUCCEEDED(a.Bind(0, 1));
    LONG value = 5;
    EXPECT_HRESULT_SUCCEEDED(a.OptionalLong(0, 0, value));
    EXPECT_EQ(value, 0);
  }
  std::vector<VARIANT> none;
  DISPPARAMS params = Positional(none);
  DispatchArguments a(&params, LOCALE_USER_DEFAULT, nullptr);
  ASSERT_HRESULT_SUCCEEDED(a.Bind(0, 1));
  LONG value = 5;
  EXPECT_HRESULT_SUCCEEDED(a.OptionalLong(0, 0, value));
  EXPECT_EQ(value, 0);
}

TEST(DispatchArguments, WrongCountsAndUnconvertibleValuesAreDispatchErrors) {
  std::vector<VARIANT> three{Long(1), Long(2), Long(3)};
  DISPPARAMS params = Positional(three);
  EXPECT_EQ(DispatchArguments(&params, 0, nullptr).Bind(0, 2), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(DispatchArguments(&params, 0, nullptr).Bind(4, 4), DISP_E_BADPARAMCOUNT);

  std::vector<VARIANT> required_missing{Long(1), Missing()};
  params = Positional(required_missing);
  UINT arg_err = 99;
  EXPECT_EQ(DispatchArguments(&params, 0, &arg_err).Bind(2, 2), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(arg_err, 1u);

  std::vector<VARIANT> huge{Double(1e12)};
  params = Positional(huge);
  DispatchArguments a(&params, LOCALE_USER_DEFAULT, &arg_err);
  ASSERT_HRESULT_SUCCEEDED(a.Bind(0, 1));
  LONG value = 0;
  EXPECT_EQ(a.OptionalLong(0, 0, value), DISP_E_OVERFLOW);
  VARIANT_BOOL flag = 0;
  VARIANT null;
  VariantInit(&null);
  V_VT(&null) = VT_NULL;
  std::vector<VARIANT> nulls{null};
  params = Positional(nulls);
  DispatchArguments b(&params, LOCALE_USER_DEFAULT, &arg_err);
  ASSERT_HRESULT_SUCCEEDED(b.Bind(1, 1));
  EXPECT_EQ(b.Bool(0, flag), DISP_E_TYPEMISMATCH);
}

TEST(DispatchArguments, NamedArgumentsTakeTheirParameterPosition) {
  // StartUpdate MySetStr:="a", MyDpName:="b", GetNetwork:=True, named in another order.
  VARIANT a;
  VariantInit(&a);
  V_VT(&a) = VT_BSTR;
  V_BSTR(&a) = SysAllocString(L"a");
  VARIANT b;
  VariantInit(&b);
  V_VT(&b) = VT_BSTR;
  V_BSTR(&b) = SysAllocString(L"b");
  VARIANT yes;
  VariantInit(&yes);
  V_VT(&yes) = VT_BOOL;
  V_BOOL(&yes) = VARIANT_TRUE;
  std::vector<VARIANT> args{a, b, yes};
  std::vector<DISPID> names{0, 2, 1};
  DISPPARAMS params{args.data(), names.data(), 3, 3};
  DispatchArguments d(&params, LOCALE_USER_DEFAULT, nullptr);
  ASSERT_HRESULT_SUCCEEDED(d.Bind(3, 3));
  std::string settings, store;
  VARIANT_BOOL network = 0;
  EXPECT_HRESULT_SUCCEEDED(d.Text(0, settings));
  EXPECT_HRESULT_SUCCEEDED(d.Bool(1, network));
  EXPECT_HRESULT_SUCCEEDED(d.Text(2, store));
  EXPECT_EQ(settings, "a");
  EXPECT_EQ(network, VARIANT_TRUE);
  EXPECT_EQ(store, "b");
  VariantClear(&a);
  VariantClear(&b);
}

}  // namespace
}  // namespace rilo::com
