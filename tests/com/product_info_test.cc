// CProductInfo through its vtable and its class factory, hosted in-process from
// the built DLL; and the client header that C++ hosts use with it.
#include <olectl.h>

#include <thread>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR);

std::wstring Get(const ComPtr<_CProductInfo>& o, Getter get = &_CProductInfo::get_ProductName) {
  Bstr value;
  EXPECT_EQ((o.get()->*get)(value.put()), S_OK);
  return value.str();
}

void Put(const ComPtr<_CProductInfo>& o, const std::wstring& text, Setter put = &_CProductInfo::put_ProductName) {
  EXPECT_EQ((o.get()->*put)(Bstr(text)), S_OK);
}

ULONG Refs(IUnknown* p) { return p->AddRef(), p->Release(); }

class ProductInfo : public ::testing::Test { Apartment apartment_; };

// The objects of a thread share one record, which each new object clears and
// another thread's objects do not see: what one stores, another reads back
// exactly (embedded NULs, a lone surrogate, a megabyte); a null BSTR is "".
TEST_F(ProductInfo, EachThreadHasOneRecordThatEachNewObjectClears) {
  const std::wstring values[] = {L"Product 1.0", L"\u65E5\u672C \u00F1", std::wstring(L"a\0b", 3),
                                 std::wstring(1, wchar_t(0xD800)) + L"z", std::wstring(1 << 20, L'x')};
  auto first = Create();
  for (const auto& [name, get, put] : kTextProperties) Put(first, L"set", put);
  std::thread([] { Apartment apartment; Put(Create(), L"there"); }).join();
  EXPECT_EQ(Get(first), L"set") << "cleared or set by another thread's object";
  auto other = Create();
  for (const auto& [name, get, put] : kTextProperties) {
    EXPECT_EQ(Get(first, get), L"");
    for (const auto& v : values) {
      Put(other, v, put);
      EXPECT_EQ(Get(first, get), v) << "length " << v.size();
    }
    EXPECT_EQ((other.get()->*put)(nullptr), S_OK);
    EXPECT_EQ(Get(first, get), L"");
    EXPECT_EQ((first.get()->*get)(nullptr), E_POINTER);
  }
}

// Also after the thread has ended (the state outlives it for its objects).
TEST_F(ProductInfo, EachThreadsLanguageLibraryStaysMappedWhileAnObjectOfTheThreadLives) {
  auto object = Create();
  int mapped_there = 0;
  ComPtr<_CProductInfo> outliving;  // released here after its thread has ended
  std::thread([&] {
    Apartment apartment;
    outliving = Create();
    mapped_there = MappedFilesNamed(L"VELKORes");
  }).join();
  EXPECT_EQ(std::pair(mapped_there, MappedFilesNamed(L"VELKORes")), std::pair(2, 2));
  outliving = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
  object = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 0);
}

TEST_F(ProductInfo, WrongCallsGetComsOwnErrors) {
  ComPtr<IClassFactory> factory;
  ComPtr<IUnknown> none;
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(CallExport("DllGetClassObject", &IID_IUnknown, &IID_IClassFactory, none.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  auto object = Create();
  EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, none.put_void()), CLASS_E_NOAGGREGATION);
  for (HRESULT hr : {factory->CreateInstance(nullptr, IID_IClassFactory, none.put_void()),
                     object->QueryInterface(IID_IPersist, none.put_void()),
                     factory->QueryInterface(IID_IPersist, none.put_void())})
    EXPECT_EQ(hr, E_NOINTERFACE);
  EXPECT_FALSE(none);
  for (HRESULT hr : {factory->CreateInstance(nullptr, IID_IUnknown, nullptr), object->get_ProductIcon(nullptr),
                     object->QueryInterface(IID_IUnknown, nullptr), object->GetTypeInfo(0, 0, nullptr),
                     object->GetTypeInfoCount(nullptr),
                     CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, nullptr)})
    EXPECT_EQ(hr, E_POINTER);
  ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, errors.put_void()), S_OK);
  EXPECT_EQ(std::pair(errors->InterfaceSupportsErrorInfo(IID__CProductInfo),
                      errors->InterfaceSupportsErrorInfo(IID_IDispatch)), std::pair(S_OK, S_FALSE));
}

// A lock, a factory or an object keeps the DLL; the type information does not.
TEST_F(ProductInfo, DllCanUnloadNowAnswersFromWhatIsInUse) {
  ComPtr<IClassFactory> factory;
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(Create()->GetTypeInfo(0, 0, info.put()), S_OK);
  const ULONG info_refs = Refs(info.get());
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "locked";
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "a factory is held";
  factory = nullptr;
  EXPECT_EQ(std::pair(CallExport("DllCanUnloadNow"), Refs(info.get())), std::pair(S_OK, info_refs));
  auto object = Create();
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "an object lives";
}

// The icon is held once by the thread's record until Nothing, a new object or
// the thread's last object drops it, in the apartment: never at the thread's
// end, after CoUninitialize.
TEST_F(ProductInfo, TheIconIsHeldOnceUntilNothingANewObjectOrTheThreadsLastObjectDropsIt) {
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
  const ULONG base = Refs(picture.get());
  ULONG in_apartment = 0;
  std::thread([&] {
    Apartment a;
    Create()->putref_ProductIcon(picture.get());  // the thread's last object, gone at the semicolon
    in_apartment = Refs(picture.get());
  }).join();
  EXPECT_EQ(in_apartment, base) << "kept after the thread's last object";
  auto object = Create();
  ComPtr<IPictureDisp> back;
  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_EQ(Refs(picture.get()), base + 2) << "the record's and ours";
  ASSERT_EQ(object->putref_ProductIcon(nullptr), S_OK);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_EQ(std::pair(back.get(), Refs(picture.get())), std::pair(static_cast<IPictureDisp*>(nullptr), base));
  object->putref_ProductIcon(picture.get());
  object = Create();
  EXPECT_EQ(Refs(picture.get()), base) << "dropped by a new object";
}

// What was held goes with the other Bstr, which frees it.
TEST(ClientBstr, MoveAssignmentSwapsTheTwoStrings) {
  Bstr held(L"held"), other(L"other");
  held = std::move(other);
  EXPECT_EQ(std::pair(held.str(), other.str()), std::pair(std::wstring(L"other"), std::wstring(L"held")));
}

}  // namespace
}  // namespace velko::testing
