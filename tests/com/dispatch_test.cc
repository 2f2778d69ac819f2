// The type library as hosts see it, and late-bound calls through IDispatch,
// well-formed and hostile: each wrong call gets the error automation defines
// and leaves the object as it was.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

VARIANT Text(BSTR text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = text;
  return v;
}

// Slot order of _CProductInfo: name, kind, DISPID, type of the first parameter.
const struct {
  const wchar_t* name;
  int kind, id, argument;
} kMembers[] = {
    {L"ProductName", INVOKE_PROPERTYGET, 1, VT_PTR}, {L"ProductName", INVOKE_PROPERTYPUT, 1, VT_BSTR},
    {L"ProductVersion", INVOKE_PROPERTYGET, 2, VT_PTR}, {L"ProductVersion", INVOKE_PROPERTYPUT, 2, VT_BSTR},
    {L"Copyright", INVOKE_PROPERTYGET, 3, VT_PTR}, {L"Copyright", INVOKE_PROPERTYPUT, 3, VT_BSTR},
    {L"WebsiteHREF", INVOKE_PROPERTYGET, 4, VT_PTR}, {L"WebsiteHREF", INVOKE_PROPERTYPUT, 4, VT_BSTR},
    {L"ProductIcon", INVOKE_PROPERTYGET, 5, VT_PTR}, {L"ProductIcon", INVOKE_PROPERTYPUTREF, 5, VT_PTR},
    {L"ProductCompanyName", INVOKE_PROPERTYGET, 6, VT_PTR}, {L"ProductCompanyName", INVOKE_PROPERTYPUT, 6, VT_BSTR},
    {L"ProductCompanyAddress", INVOKE_PROPERTYGET, 7, VT_PTR}, {L"ProductCompanyAddress", INVOKE_PROPERTYPUT, 7, VT_BSTR},
    {L"AddURL", INVOKE_FUNC, 8, VT_BSTR}, {L"ClearURLS", INVOKE_FUNC, 9, VT_EMPTY},
    {L"EULAPath", INVOKE_PROPERTYGET, 10, VT_PTR}, {L"EULAPath", INVOKE_PROPERTYPUT, 10, VT_BSTR},
    {L"ShowAboutBox", INVOKE_FUNC, 11, VT_PTR}};

TEST(TypeLibrary, DescribesTheDualInterfaceInSlotOrder) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, lib.put()), S_OK);
  TLIBATTR* lib_attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&lib_attr), S_OK);
  EXPECT_EQ(lib_attr->guid, LIBID_VELKO);
  EXPECT_EQ(lib_attr->wMajorVerNum * 100 + lib_attr->wMinorVerNum, 100);
  lib->ReleaseTLibAttr(lib_attr);
  ComPtr<ITypeInfo> info, vtable;
  HREFTYPE vtable_ref = 0;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__CProductInfo, info.put()), S_OK);
  ASSERT_EQ(info->GetRefTypeOfImplType(-1, &vtable_ref), S_OK);  // the dual interface's vtable view
  ASSERT_EQ(info->GetRefTypeInfo(vtable_ref, vtable.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  const WORD want = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  EXPECT_EQ(attr->wTypeFlags & want, want);
  const UINT count = attr->cFuncs;
  vtable->ReleaseTypeAttr(attr);
  ASSERT_EQ(count, std::size(kMembers));
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
    UniqueBstr name;
    UINT got = 0;
    vtable->GetNames(f->memid, name.put(), 1, &got);
    EXPECT_STREQ(name.get(), kMembers[i].name) << "slot " << i;
    EXPECT_EQ(f->invkind, kMembers[i].kind) << "slot " << i;
    EXPECT_EQ(f->memid, kMembers[i].id) << "slot " << i;
    EXPECT_EQ(f->cParams ? f->lprgelemdescParam[0].tdesc.vt : int{VT_EMPTY}, kMembers[i].argument) << "slot " << i;
    vtable->ReleaseFuncDesc(f);
  }
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Create()->QueryInterface(IID_IDispatch, d_.put_void()), S_OK); }
  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
                 REFIID iid = IID_NULL) {
    DISPID put = DISPID_PROPERTYPUT;
    const UINT named = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF) ? 1 : 0;
    DISPPARAMS params = {args.data(), &put, static_cast<UINT>(args.size()), named};
    return d_->Invoke(id, iid, 0, flags, &params, result, nullptr, nullptr);
  }
  std::u16string Name() {
    VARIANT result;
    result.vt = VT_I4;  // overwritten
    EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    UniqueBstr owned(result.bstrVal);
    return FromBstr(result.bstrVal);
  }
  Apartment apartment_;
  ComPtr<IDispatch> d_;
};

TEST_F(Dispatch, NamesMapToTheLibraryIdsCaseInsensitively) {
  std::wstring known = L"eulapath", unknown = L"NoSuchMember";
  LPOLESTR names[] = {known.data(), unknown.data()};
  DISPID id = 0;
  EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 10);
  EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, names + 1, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(d_->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

// The system's own coercion is the oracle: what VariantChangeType turns into a
// string is stored as that string, the rest is a type mismatch that changes nothing.
TEST_F(Dispatch, EveryVariantTypeForAStringCoercesOrIsATypeMismatch) {
  const VARTYPE types[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,  VT_R4,  VT_R8, VT_CY,  VT_DATE, VT_BSTR,
                           VT_BSTR,  VT_DISPATCH, VT_ERROR, VT_BOOL, VT_UNKNOWN, VT_I1, VT_UI1, VT_UI2,
                           VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT, VT_DECIMAL, VT_ARRAY | VT_I4};
  std::vector<VARIANT> values(std::size(types));
  for (size_t i = 0; i < values.size(); ++i) values[i].llVal = static_cast<LONGLONG>(i) * 1000003 - 7;
  values[8].bstrVal = ::SysAllocString(L"text");
  values[9].bstrVal = nullptr;
  values[10].pdispVal = d_.copy();
  values[13].punkVal = d_.copy();
  ::VarDecFromI4(42, &values[22].decVal);
  values[23].parray = ::SafeArrayCreateVector(VT_I4, 0, 3);
  for (size_t i = 0; i < values.size(); ++i) values[i].vt = types[i];
  for (DISPID id : {1, 2, 3, 4, 6, 7, 10}) {
    for (VARIANT& value : values) {
      ASSERT_EQ(Invoke(id, DISPATCH_PROPERTYPUT, {Text(nullptr)}), S_OK);
      VARIANT expected, after;
      ::VariantInit(&expected), ::VariantInit(&after);
      const bool coerces = SUCCEEDED(::VariantChangeType(&expected, &value, 0, VT_BSTR));
      EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYPUT, {value}), coerces ? S_OK : DISP_E_TYPEMISMATCH)
          << "id " << id << ", vt " << value.vt;
      ASSERT_EQ(Invoke(id, DISPATCH_PROPERTYGET, {}, &after), S_OK);
      EXPECT_EQ(FromBstr(after.bstrVal), FromBstr(expected.bstrVal)) << "id " << id << ", vt " << value.vt;
      ::VariantClear(&expected), ::VariantClear(&after);
    }
  }
  const ULONG refs = (d_->AddRef(), d_->Release());
  for (VARIANT& value : values) {  // the icon takes a picture or nothing, and keeps no reference otherwise
    const bool nothing = (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && !value.punkVal;
    EXPECT_EQ(Invoke(5, DISPATCH_PROPERTYPUTREF, {value}), nothing ? S_OK : DISP_E_TYPEMISMATCH) << value.vt;
    EXPECT_EQ((d_->AddRef(), d_->Release()), refs) << "vt " << value.vt;
  }
  for (VARIANT& value : values) ::VariantClear(&value);
}

TEST_F(Dispatch, WrongShapesOfCallAreRefusedWithTheirOwnCodes) {
  UniqueBstr text = MakeBstr(u"kept");
  VARIANT s = Text(text.get()), null_text = Text(nullptr), result;
  ::VariantInit(&result);
  ASSERT_EQ(Invoke(1, DISPATCH_PROPERTYPUT, {s}), S_OK);
  EXPECT_EQ(Invoke(12345, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(-5, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(9, DISPATCH_PROPERTYPUT, {s}), DISP_E_MEMBERNOTFOUND) << "a method is not a property";
  EXPECT_EQ(Invoke(8, DISPATCH_METHOD, {s}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(8, DISPATCH_METHOD, {s, s, s}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {s}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(9, DISPATCH_METHOD, {s}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {}, &result, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);
  DISPPARAMS unnamed_put = {&s, nullptr, 1, 0};
  EXPECT_EQ(d_->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed_put, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(d_->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Name(), u"kept") << "a refused call changed the value";
  EXPECT_EQ(Invoke(8, DISPATCH_METHOD, {null_text, null_text}), S_OK) << "null strings are empty ones";
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYPUT, {null_text}), S_OK);
  EXPECT_EQ(Name(), u"");
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {}, nullptr), S_OK) << "no result variant";
  ComPtr<ITypeInfo> info;
  UINT count = 0;
  EXPECT_EQ(d_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(d_->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(d_->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(d_->GetTypeInfoCount(nullptr), E_POINTER);
}

}  // namespace
}  // namespace velko::testing
