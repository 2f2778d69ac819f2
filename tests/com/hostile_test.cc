// Hostile input at the COM surface: every VARIANT type for every argument, huge
// and odd strings, named arguments and wrong call shapes. Each gets the error
// automation defines, and the object keeps working afterwards.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

class Hostile : public ::testing::Test {
 protected:
  Apartment apartment;
  ComPtr<_CProductInfo> object;
  ComPtr<IDispatch> d;
  void SetUp() override {
    object = Server().Create();
    ASSERT_TRUE(object);
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, d.put_void()), S_OK);
  }
  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, std::vector<DISPID> named = {},
                 VARIANT* result = nullptr) {
    DISPPARAMS params = {args.data(), named.data(), static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    EXCEPINFO excep = {};
    UINT arg_err = 0;
    const HRESULT hr = d->Invoke(id, IID_NULL, 0, flags, &params, result, &excep, &arg_err);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    return hr;
  }
  std::u16string Name() {
    BSTR value = nullptr;
    EXPECT_EQ(object->get_ProductName(&value), S_OK);
    UniqueBstr owned(value);
    return FromBstr(value);
  }
};

// One value of each VARIANT type a host can pass by value.
std::vector<VARIANT> EveryType(IDispatch* some_object) {
  std::vector<VARIANT> v;
  auto add = [&](VARTYPE vt, auto set) {
    VARIANT x;
    ::VariantInit(&x);
    x.vt = vt;
    set(x);
    v.push_back(x);
  };
  add(VT_EMPTY, [](VARIANT&) {});
  add(VT_NULL, [](VARIANT&) {});
  add(VT_I2, [](VARIANT& x) { x.iVal = -7; });
  add(VT_I4, [](VARIANT& x) { x.lVal = 123456; });
  add(VT_R4, [](VARIANT& x) { x.fltVal = 1.5f; });
  add(VT_R8, [](VARIANT& x) { x.dblVal = -2.25; });
  add(VT_CY, [](VARIANT& x) { x.cyVal.int64 = 12345; });
  add(VT_DATE, [](VARIANT& x) { x.date = 45000.5; });
  add(VT_BSTR, [](VARIANT& x) { x.bstrVal = ::SysAllocString(L"text"); });
  add(VT_BSTR, [](VARIANT& x) { x.bstrVal = nullptr; });
  add(VT_DISPATCH, [&](VARIANT& x) { x.pdispVal = some_object; some_object->AddRef(); });
  add(VT_DISPATCH, [](VARIANT& x) { x.pdispVal = nullptr; });
  add(VT_ERROR, [](VARIANT& x) { x.scode = DISP_E_PARAMNOTFOUND; });
  add(VT_BOOL, [](VARIANT& x) { x.boolVal = VARIANT_TRUE; });
  add(VT_UNKNOWN, [&](VARIANT& x) { x.punkVal = some_object; some_object->AddRef(); });
  add(VT_DECIMAL, [](VARIANT& x) { ::VarDecFromI4(42, &x.decVal); x.vt = VT_DECIMAL; });
  add(VT_I1, [](VARIANT& x) { x.cVal = 'A'; });
  add(VT_UI1, [](VARIANT& x) { x.bVal = 200; });
  add(VT_UI2, [](VARIANT& x) { x.uiVal = 60000; });
  add(VT_UI4, [](VARIANT& x) { x.ulVal = 4000000000u; });
  add(VT_I8, [](VARIANT& x) { x.llVal = -9000000000LL; });
  add(VT_UI8, [](VARIANT& x) { x.ullVal = 9000000000ULL; });
  add(VT_INT, [](VARIANT& x) { x.intVal = -1; });
  add(VT_UINT, [](VARIANT& x) { x.uintVal = 1; });
  add(VT_ARRAY | VT_I4, [](VARIANT& x) { x.parray = ::SafeArrayCreateVector(VT_I4, 0, 3); });
  return v;
}

TEST_F(Hostile, EveryVariantTypeForAStringArgumentCoercesOrIsATypeMismatch) {
  ComPtr<IDispatch> other;
  ASSERT_EQ(Server().Create()->QueryInterface(IID_IDispatch, other.put_void()), S_OK);
  object = nullptr;  // the second object reset ProductInfo; use it from here on
  ASSERT_EQ(other->QueryInterface(IID__CProductInfo, object.put_void()), S_OK);
  d = other;
  std::vector<VARIANT> values = EveryType(other.get());
  int coerced = 0, refused = 0;
  for (DISPID id : {1, 2, 3, 4, 6, 7, 10}) {
    for (VARIANT& value : values) {
      // The system's own coercion is the oracle.
      VARIANT expected;
      ::VariantInit(&expected);
      const HRESULT want = ::VariantChangeType(&expected, &value, 0, VT_BSTR);
      VARIANT before;
      ::VariantInit(&before);
      ASSERT_EQ(Invoke(id, DISPATCH_PROPERTYGET, {}, {}, &before), S_OK);
      const HRESULT got = Invoke(id, DISPATCH_PROPERTYPUT, {value}, {DISPID_PROPERTYPUT});
      VARIANT after;
      ::VariantInit(&after);
      ASSERT_EQ(Invoke(id, DISPATCH_PROPERTYGET, {}, {}, &after), S_OK);
      if (SUCCEEDED(want)) {
        EXPECT_EQ(got, S_OK) << "id " << id << " vt " << value.vt;
        EXPECT_EQ(FromBstr(after.bstrVal), FromBstr(expected.bstrVal)) << "id " << id << " vt " << value.vt;
        ++coerced;
      } else {
        EXPECT_TRUE(got == DISP_E_TYPEMISMATCH || got == want || got == DISP_E_PARAMNOTOPTIONAL)
            << "id " << id << " vt " << value.vt << " hr " << std::hex << got;
        EXPECT_EQ(FromBstr(after.bstrVal), FromBstr(before.bstrVal)) << "a refused put changed the value";
        ++refused;
      }
      ::VariantClear(&expected);
      ::VariantClear(&before);
      ::VariantClear(&after);
    }
  }
  for (VARIANT& value : values) ::VariantClear(&value);
  EXPECT_GT(coerced, 0);
  EXPECT_GT(refused, 0);
  std::printf("hostile: %d coerced and %d refused string arguments\n", coerced, refused);
}

TEST_F(Hostile, ProductIconTakesOnlyPicturesOrNothing) {
  std::vector<VARIANT> values = EveryType(d.get());
  auto refs = [&] {
    d->AddRef();
    return d->Release();
  };
  for (VARIANT& value : values) {
    const ULONG refs_before = refs();
    const HRESULT hr = Invoke(5, DISPATCH_PROPERTYPUTREF, {value}, {DISPID_PROPERTYPUT});
    EXPECT_EQ(refs(), refs_before) << "a refused picture keeps a reference, vt " << value.vt;
    const bool nothing = (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && !value.punkVal;
    if (nothing || value.vt == VT_EMPTY) continue;  // Nothing, as VBScript's "Set x = Nothing"
    EXPECT_TRUE(FAILED(hr)) << "vt " << value.vt;
    EXPECT_NE(hr, E_UNEXPECTED) << "vt " << value.vt;
  }
  for (VARIANT& value : values) ::VariantClear(&value);
  ComPtr<IPictureDisp> icon;
  ASSERT_EQ(object->get_ProductIcon(icon.put()), S_OK);
  EXPECT_FALSE(icon);
}

TEST_F(Hostile, HugeAndOddStringsSurviveTheDispatchPath) {
  const std::u16string sixteen_mib(16u << 20, u'\xD83D');  // lone high surrogates
  const std::u16string cases[] = {sixteen_mib, std::u16string(u"\0\0\0", 3), u"\uFFFF\uFFFE"};
  for (const auto& text : cases) {
    UniqueBstr value = MakeBstr(text);
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = value.get();
    ASSERT_EQ(Invoke(1, DISPATCH_PROPERTYPUT, {v}, {DISPID_PROPERTYPUT}), S_OK);
    EXPECT_TRUE(Name() == text) << "length " << text.size();
  }
}

TEST_F(Hostile, NamedArgumentsAndCallShapes) {
  VARIANT text;
  text.vt = VT_BSTR;
  text.bstrVal = nullptr;
  // A put must name its value DISPID_PROPERTYPUT.
  EXPECT_NE(Invoke(1, DISPATCH_PROPERTYPUT, {text}), S_OK);
  // Methods take no invented names.
  const HRESULT unknown_names = Invoke(8, DISPATCH_METHOD, {text, text}, {77, 78});
  EXPECT_TRUE(unknown_names == DISP_E_PARAMNOTFOUND || unknown_names == DISP_E_BADPARAMCOUNT) << std::hex << unknown_names;
  // A get with an argument, a method called as a property get with arguments.
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {text}, {}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(9, DISPATCH_METHOD, {text}, {}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(-5, DISPATCH_METHOD, {}, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, {}, &result), S_OK);  // VBScript's way
  ::VariantClear(&result);
  DISPPARAMS empty = {};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(d->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &empty, nullptr, nullptr, nullptr), S_OK);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(d->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(d->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(d->GetTypeInfoCount(nullptr), E_POINTER);
}

TEST_F(Hostile, NullOutPointersAreRefused) {
  EXPECT_EQ(object->get_ProductName(nullptr), E_POINTER);
  EXPECT_EQ(object->get_EULAPath(nullptr), E_POINTER);
  EXPECT_EQ(object->get_ProductIcon(nullptr), E_POINTER);
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(Server().GetClassObject(CLSID_CProductInfo, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(Hostile, ObjectOutlivesAnUnloadCheck) {
  EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
  object->AddRef();
  EXPECT_EQ(object->Release(), 2u);  // `object` and `d` still hold it
  d = nullptr;
  object = nullptr;
  EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace velko::testing
