// Late-bound calls through IDispatch, well-formed and hostile: each wrong call
// gets the error automation defines and leaves the object as it was.

#include <vector>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

VARIANT Of(VARTYPE vt, LONGLONG value = 0) {
  VARIANT v;
  v.vt = vt;
  v.llVal = value;
  return v;
}
VARIANT Of(VARTYPE vt, void* pointer) { return Of(vt, reinterpret_cast<LONGLONG>(pointer)); }

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Create()->QueryInterface(IID_IDispatch, d_.put_void()), S_OK); }
  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr, REFIID iid = IID_NULL) {
    DISPID put = DISPID_PROPERTYPUT;
    const UINT named = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF) ? 1 : 0;
    DISPPARAMS params = {args.data(), &put, static_cast<UINT>(args.size()), named};
    return d_->Invoke(id, iid, 0, flags, &params, result, nullptr, nullptr);
  }
  std::wstring Get(DISPID id) {
    VARIANT result = Of(VT_I4);  // overwritten
    EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    const UniqueBstr owned(result.bstrVal);
    return {owned.get(), ::SysStringLen(owned.get())};
  }
  Apartment apartment_;
  ComPtr<IDispatch> d_;
};

// Automation's coercion: what VariantChangeType turns into a string is stored as
// that string; the rest is a type mismatch that changes nothing. The icon takes
// a picture or nothing, and keeps no reference to anything else.
TEST_F(Dispatch, ArgumentsOfEachTypeCoerceOrAreATypeMismatch) {
  const UniqueSafeArray array(::SafeArrayCreateVector(VT_I4, 0, 3));
  // The argument, and the text stored for it (nullptr: refused).
  const struct { VARIANT value; const wchar_t* stored; } cases[] = {
      {Of(VT_I4, -42), L"-42"}, {Of(VT_BOOL, VARIANT_TRUE), L"-1"}, {Of(VT_EMPTY), L""}, {Of(VT_NULL), nullptr},
      {Of(VT_ERROR, DISP_E_TYPEMISMATCH), nullptr}, {Of(VT_ARRAY | VT_I4, array.get()), nullptr},
      {Of(VT_DISPATCH, d_.get()), nullptr}, {Of(VT_UNKNOWN, d_.get()), nullptr}};
  Bstr before(L"before");
  for (DISPID id : {1, 2, 3, 4, 6, 7, 10}) for (const auto& c : cases) {
    EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYPUT, {Of(VT_BSTR, BSTR(before))}), S_OK);
    EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYPUT, {c.value}), c.stored ? S_OK : DISP_E_TYPEMISMATCH) << id;
    EXPECT_EQ(Get(id), c.stored ? c.stored : L"before") << "id " << id << ", vt " << c.value.vt;
  }
  const ULONG refs = (d_->AddRef(), d_->Release());
  for (const auto& c : cases) EXPECT_EQ(Invoke(5, DISPATCH_PROPERTYPUTREF, {c.value}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ((d_->AddRef(), d_->Release()), refs);
  EXPECT_EQ(Invoke(5, DISPATCH_PROPERTYPUTREF, {Of(VT_DISPATCH)}), S_OK) << "Nothing";
  VARIANT icon = Of(VT_BSTR);
  EXPECT_EQ(Invoke(5, DISPATCH_PROPERTYGET, {}, &icon), S_OK);
  EXPECT_EQ(icon.vt, VT_DISPATCH) << "the icon reads as an object, Nothing included";
}

TEST_F(Dispatch, WrongShapesOfCallAreRefusedWithTheirOwnCodes) {
  Bstr text(L"kept");
  VARIANT s = Of(VT_BSTR, BSTR(text)), null_text = Of(VT_BSTR), result = Of(VT_EMPTY);
  ASSERT_EQ(Invoke(1, DISPATCH_PROPERTYPUT, {s}), S_OK);
  for (DISPID id : {-5, 0, 32, 12345}) EXPECT_EQ(Invoke(id, DISPATCH_METHOD, {s}, &result), DISP_E_MEMBERNOTFOUND) << id;
  EXPECT_EQ(Invoke(9, DISPATCH_PROPERTYPUT, {s}), DISP_E_MEMBERNOTFOUND) << "a method is not a property";
  for (const auto& [id, flags, n] :
      {std::tuple(8, DISPATCH_METHOD, 1), {8, DISPATCH_METHOD, 3}, {1, DISPATCH_PROPERTYGET, 1}, {9, DISPATCH_METHOD, 1}})
    EXPECT_EQ(Invoke(id, flags, std::vector<VARIANT>(n, s), &result), DISP_E_BADPARAMCOUNT) << id << " with " << n;
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {}, &result, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);
  wchar_t known[] = L"eulapath", unknown[] = L"NoSuchMember";
  LPOLESTR names[] = {known, unknown};
  DISPID id = 0;
  EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 10) << "names are case-insensitive";
  EXPECT_EQ(d_->GetIDsOfNames(IID_NULL, names + 1, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(d_->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  DISPPARAMS unnamed_put = {&s, nullptr, 1, 0};
  EXPECT_EQ(d_->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed_put, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(d_->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Get(1), L"kept") << "a refused call changed the value";
  EXPECT_EQ(Invoke(8, DISPATCH_METHOD, {null_text, null_text}), S_OK) << "null strings are empty ones";
  EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYGET, {}, nullptr), S_OK) << "no result variant";
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(d_->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
}

}  // namespace
}  // namespace velko::testing
