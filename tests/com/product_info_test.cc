// CProductInfo through its vtable and its class factory, hosted in-process from
// the built DLL; and the client header that C++ hosts use with it.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR);
#define VELKO_STRING(name) {&_CProductInfo::get_##name, &_CProductInfo::put_##name}
const std::pair<Getter, Setter> kStrings[] = {
    VELKO_STRING(ProductName), VELKO_STRING(ProductVersion), VELKO_STRING(Copyright), VELKO_STRING(WebsiteHREF),
    VELKO_STRING(ProductCompanyName), VELKO_STRING(ProductCompanyAddress), VELKO_STRING(EULAPath)};

std::wstring Get(const ComPtr<_CProductInfo>& o, Getter get = &_CProductInfo::get_ProductName) {
  Bstr value;
  EXPECT_EQ((o.get()->*get)(value.put()), S_OK);
  return value.str();
}

void Put(const ComPtr<_CProductInfo>& o, const std::wstring& text, Setter put = &_CProductInfo::put_ProductName) {
  EXPECT_EQ((o.get()->*put)(Bstr(text)), S_OK);
}

ULONG Refs(IUnknown* p) { return p->AddRef(), p->Release(); }

ComPtr<IPictureDisp> Picture() {
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
  return picture;
}

class ProductInfo : public ::testing::Test {
  Apartment apartment_;
};

TEST_F(ProductInfo, StringsStartEmptyAndRoundTripExactly) {
  const std::wstring values[] = {L"Product 1.0", L"\u65E5\u672C \u00F1", std::wstring(L"a\0b", 3),
                                 std::wstring(1, wchar_t(0xD800)) + L"z", std::wstring(1 << 20, L'x')};
  auto object = Create();
  for (const auto& [get, put] : kStrings) {
    EXPECT_EQ(Get(object, get), L"");
    for (const auto& v : values) {
      Put(object, v, put);
      EXPECT_EQ(Get(object, get), v) << "length " << v.size();
    }
    EXPECT_EQ((object.get()->*put)(nullptr), S_OK);  // a null BSTR is ""
    EXPECT_EQ(Get(object, get), L"");
    EXPECT_EQ((object.get()->*get)(nullptr), E_POINTER);
  }
}

// One record and one language library per thread: the objects of a thread share
// them, each new object clears the record, and the library stays mapped while
// an object of the thread lives.
TEST_F(ProductInfo, EachThreadHasOneRecordThatEachNewObjectResetsAndOneLanguageLibrary) {
  ASSERT_EQ(MappedFilesNamed(L"VELKORes"), 0);
  auto first = Create();
  for (const auto& [get, put] : kStrings) Put(first, L"set", put);
  auto other = Create();
  for (const auto& [get, put] : kStrings) {
    EXPECT_EQ(Get(first, get), L"");
    Put(other, L"via other", put);
    EXPECT_EQ(Get(first, get), L"via other");
  }
  std::wstring there_first, there_after;
  int mapped_there = 0;
  std::thread([&] {
    Apartment apartment;
    auto there = Create();
    mapped_there = MappedFilesNamed(L"VELKORes");
    there_first = Get(there);
    Put(there, L"second thread");
    there_after = Get(there);
  }).join();
  EXPECT_EQ(mapped_there, 2);
  EXPECT_EQ(there_first + L"|" + there_after + L"|" + Get(first), L"|second thread|via other");
  first = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1) << "held while an object of the thread lives";
  other = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 0);
}

TEST_F(ProductInfo, ProductIconHoldsOneReferenceUntilNothingOrANewObject) {
  auto picture = Picture();
  const ULONG base = Refs(picture.get());
  auto object = Create();
  ComPtr<IPictureDisp> back;
  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_EQ(back.get(), picture.get());
  EXPECT_EQ(Refs(picture.get()), base + 2) << "the object's and ours";
  ASSERT_EQ(object->putref_ProductIcon(nullptr), S_OK);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_FALSE(back);
  EXPECT_EQ(Refs(picture.get()), base);
  object->putref_ProductIcon(picture.get());
  Create();
  EXPECT_EQ(Refs(picture.get()), base) << "kept by a new object";
}

TEST_F(ProductInfo, FactoryAndUnloadFollowComRules) {
  ComPtr<IClassFactory> factory;
  ComPtr<IUnknown> none;
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(CallExport("DllGetClassObject", &IID_IUnknown, &IID_IClassFactory, none.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  auto object = Create();
  EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, none.put_void()), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, none.put_void()), E_NOINTERFACE);
  EXPECT_EQ(object->QueryInterface(IID_IPersist, none.put_void()), E_NOINTERFACE);
  EXPECT_FALSE(none);
  for (HRESULT hr : {factory->CreateInstance(nullptr, IID_IUnknown, nullptr), object->get_ProductIcon(nullptr),
                     object->QueryInterface(IID_IUnknown, nullptr),
                     CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, nullptr)}) {
    EXPECT_EQ(hr, E_POINTER);
  }
  ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, errors.put_void()), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__CProductInfo), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory = nullptr, errors = nullptr, object = nullptr, info = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "locked";
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "a factory is held";
  factory = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
  object = Create();
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "an object lives";
  EXPECT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK) << "the type information dropped by the unload check";
}

// A host that unloads the DLL while threads still hold what it gave them: every
// thread's record goes with the DLL, and so do their language libraries.
TEST_F(ProductInfo, UnloadingTheDllReleasesWhatEveryThreadHeld) {
  auto picture = Picture();
  const ULONG base = Refs(picture.get());
  UniqueHandle parked(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread other([&] {
    Apartment apartment;
    Create().detach()->putref_ProductIcon(picture.get());  // never released: the DLL goes first
    ::SetEvent(parked.get());
    ::WaitForSingleObject(go.get(), INFINITE);
  });
  ::WaitForSingleObject(parked.get(), INFINITE);
  Create()->putref_ProductIcon(picture.get());
  EXPECT_EQ(Refs(picture.get()), base + 2);
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
  while (::GetModuleHandleW(L"VELKO.dll")) ::FreeLibrary(Velko());
  Velko() = nullptr;
  EXPECT_EQ(Refs(picture.get()), base);
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 0);
  ::SetEvent(go.get());
  other.join();
}

TEST(ClientBstr, MoveAssignmentFreesTheOldStringAndSurvivesSelfMove) {
  client::Bstr kept(L"kept"), target(L"old!");
  client::Bstr& alias = kept;
  kept = std::move(alias);
  const BSTR old = target;
  target = client::Bstr(L"new!");
  // The allocator hands a freed block out again among the next strings of its size.
  UniqueBstr reuse[8];
  bool reused = false;
  for (UniqueBstr& r : reuse) reused |= (r = UniqueBstr(::SysAllocString(L"same"))).get() == old;
  EXPECT_TRUE(reused) << "the old string was not freed";
  EXPECT_EQ(kept.str() + target.str(), L"keptnew!");
}

}  // namespace
}  // namespace velko::testing
