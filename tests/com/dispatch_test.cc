// The type library as hosts see it, and late-bound calls through IDispatch.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

struct Member {
  const wchar_t* name;
  INVOKEKIND kind;
  const wchar_t* argument;  // name of the one [in] argument, or nullptr
};

// Slot order of _CProductInfo: getters before setters.
const Member kMembers[] = {
    {L"ProductName", INVOKE_PROPERTYGET, nullptr},
    {L"ProductName", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"ProductVersion", INVOKE_PROPERTYGET, nullptr},
    {L"ProductVersion", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"Copyright", INVOKE_PROPERTYGET, nullptr},
    {L"Copyright", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"WebsiteHREF", INVOKE_PROPERTYGET, nullptr},
    {L"WebsiteHREF", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"ProductIcon", INVOKE_PROPERTYGET, nullptr},
    {L"ProductIcon", INVOKE_PROPERTYPUTREF, L"imgNewValue"},
    {L"ProductCompanyName", INVOKE_PROPERTYGET, nullptr},
    {L"ProductCompanyName", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"ProductCompanyAddress", INVOKE_PROPERTYGET, nullptr},
    {L"ProductCompanyAddress", INVOKE_PROPERTYPUT, L"szNewValue"},
    {L"AddURL", INVOKE_FUNC, L"HREF"},
    {L"ClearURLS", INVOKE_FUNC, nullptr},
    {L"EULAPath", INVOKE_PROPERTYGET, nullptr},
    {L"EULAPath", INVOKE_PROPERTYPUT, L"Value"},
    {L"ShowAboutBox", INVOKE_FUNC, nullptr},
};

TEST(TypeLibrary, DescribesTheLibraryClassAndInterfaceInSlotOrder) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, lib.put()), S_OK);
  TLIBATTR* lib_attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&lib_attr), S_OK);
  EXPECT_EQ(lib_attr->guid, LIBID_VELKO);
  EXPECT_EQ(lib_attr->lcid, 0u);
  EXPECT_EQ(lib_attr->wMajorVerNum, 1);
  EXPECT_EQ(lib_attr->wMinorVerNum, 0);
  lib->ReleaseTLibAttr(lib_attr);
  BSTR name = nullptr, help = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
  UniqueBstr owned_name(name), owned_help(help);
  EXPECT_STREQ(name, L"VELKO");
  EXPECT_GT(::SysStringLen(help), 10u);

  ComPtr<ITypeInfo> info;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__CProductInfo, info.put()), S_OK);
  // The dual interface's own vtable view (TKIND_INTERFACE), not the dispinterface.
  HREFTYPE vtable_ref = 0;
  ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(info->GetRefTypeOfImplType(-1, &vtable_ref), S_OK);
  ASSERT_EQ(info->GetRefTypeInfo(vtable_ref, vtable.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  const WORD want = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  EXPECT_EQ(attr->wTypeFlags & want, want);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  const WORD count = attr->cFuncs;
  vtable->ReleaseTypeAttr(attr);
  ASSERT_EQ(count, std::size(kMembers));

  for (UINT i = 0; i < std::size(kMembers); ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    BSTR names[4] = {};
    UINT got = 0;
    vtable->GetNames(f->memid, names, 4, &got);
    EXPECT_STREQ(names[0], kMembers[i].name) << "slot " << i;
    EXPECT_EQ(f->invkind, kMembers[i].kind) << "slot " << i;
    EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL) << "slot " << i;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT) << "slot " << i;
    // Wine reports the property name for a put's value; its name is in the IDL only.
    if (kMembers[i].argument && kMembers[i].kind == INVOKE_FUNC) {
      EXPECT_STREQ(names[1], kMembers[i].argument) << "slot " << i;
    }
    for (BSTR n : names) ::SysFreeString(n);
    vtable->ReleaseFuncDesc(f);
  }
}

// Each setter takes exactly its value: a string, or a picture by reference.
TEST(TypeLibrary, SetterArgumentsAreNamedByType) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, lib.put()), S_OK);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__CProductInfo, info.put()), S_OK);
  HREFTYPE vtable_ref = 0;
  ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(info->GetRefTypeOfImplType(-1, &vtable_ref), S_OK);
  ASSERT_EQ(info->GetRefTypeInfo(vtable_ref, vtable.put()), S_OK);
  for (UINT i = 0; i < std::size(kMembers); ++i) {
    if (kMembers[i].kind != INVOKE_PROPERTYPUT && kMembers[i].kind != INVOKE_PROPERTYPUTREF) continue;
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    EXPECT_EQ(f->cParams, 1) << "slot " << i;
    EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, kMembers[i].kind == INVOKE_PROPERTYPUT ? VT_BSTR : VT_PTR);
    vtable->ReleaseFuncDesc(f);
  }
}

class Dispatch : public ::testing::Test {
 protected:
  Apartment apartment;
  ComPtr<IDispatch> d;
  void SetUp() override {
    auto object = Server().Create();
    ASSERT_TRUE(object);
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, d.put_void()), S_OK);
  }
  DISPID Id(const wchar_t* name) {
    std::wstring n = name;
    LPOLESTR names[] = {n.data()};
    DISPID id = -1;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << "name";
    return id;
  }
  HRESULT Put(DISPID id, VARIANT value, WORD flags = DISPATCH_PROPERTYPUT) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    return d->Invoke(id, IID_NULL, 0, flags, &params, nullptr, nullptr, nullptr);
  }
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
  }
};

TEST_F(Dispatch, NamesMapToTheLibraryIdsCaseInsensitively) {
  EXPECT_EQ(Id(L"ProductName"), 1);
  EXPECT_EQ(Id(L"productname"), 1);
  EXPECT_EQ(Id(L"ShowAboutBox"), 11);
  std::wstring unknown = L"NoSuchMember";
  LPOLESTR names[] = {unknown.data()};
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(d->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(Dispatch, PropertyRoundTripWithCoercionAndTypeMismatch) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = 42;
  ASSERT_EQ(Put(1, v), S_OK);  // numbers coerce to text as automation does
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"42");
  ::VariantClear(&result);

  SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
  VARIANT wrong;
  wrong.vt = VT_ARRAY | VT_VARIANT;
  wrong.parray = array;
  EXPECT_EQ(Put(1, wrong), DISP_E_TYPEMISMATCH);
  ::SafeArrayDestroy(array);
  ASSERT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_STREQ(result.bstrVal, L"42");  // unchanged by the failed put
  ::VariantClear(&result);
}

TEST_F(Dispatch, EveryStringPropertyReadsItsOwnField) {
  ComPtr<_CProductInfo> object;
  ASSERT_EQ(d->QueryInterface(IID__CProductInfo, object.put_void()), S_OK);
  const wchar_t* names[] = {L"ProductName", L"ProductVersion", L"Copyright", L"WebsiteHREF",
                            L"ProductCompanyName", L"ProductCompanyAddress", L"EULAPath"};
  for (const wchar_t* name : names) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(name);
    ASSERT_EQ(Put(Id(name), v), S_OK) << "put";
    ::VariantClear(&v);
  }
  for (const wchar_t* name : names) {
    for (WORD flags : {WORD(DISPATCH_PROPERTYGET), WORD(DISPATCH_PROPERTYGET | DISPATCH_METHOD)}) {
      VARIANT result;
      result.vt = VT_I4;  // whatever the host left there is overwritten
      ASSERT_EQ(Call(Id(name), flags, {}, &result), S_OK);
      ASSERT_EQ(result.vt, VT_BSTR);
      EXPECT_STREQ(result.bstrVal, name);
      ::VariantClear(&result);
    }
    // Without a result variant the get still succeeds and leaks nothing.
    EXPECT_EQ(Call(Id(name), DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
  }
}

TEST_F(Dispatch, WrongShapesOfCallAreRefused) {
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(Call(12345, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  VARIANT one;
  one.vt = VT_BSTR;
  one.bstrVal = nullptr;
  // AddURL takes two arguments, none optional.
  const HRESULT missing = Call(8, DISPATCH_METHOD, {one}, &result);
  EXPECT_TRUE(missing == DISP_E_BADPARAMCOUNT || missing == DISP_E_PARAMNOTOPTIONAL) << std::hex << missing;
  EXPECT_EQ(Call(8, DISPATCH_METHOD, {one, one, one}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(8, DISPATCH_METHOD, {one, one}, &result), S_OK);
  EXPECT_EQ(Put(9, one), DISP_E_MEMBERNOTFOUND);  // a method is not a property
  EXPECT_EQ(d->Invoke(1, IID_IDispatch, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(Dispatch, ProductIconRefusesObjectsThatAreNotPictures) {
  ComPtr<IDispatch> not_a_picture = d;  // the object itself is a dispatch, not a picture
  VARIANT v;
  v.vt = VT_DISPATCH;
  v.pdispVal = not_a_picture.get();
  const HRESULT hr = Put(5, v, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(Call(5, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_TRUE(result.vt == VT_DISPATCH && result.pdispVal == nullptr) << result.vt;
  ::VariantClear(&result);
}

}  // namespace
}  // namespace velko::testing
