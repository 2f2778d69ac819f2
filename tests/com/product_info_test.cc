// CProductInfo through its vtable and its class factory, hosted in-process from
// the built DLL; and the client header that C++ hosts use with it.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/com/com_host.h"
#include "velko_client.h"

namespace velko::testing {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR);
const std::pair<Getter, Setter> kStrings[] = {
    {&_CProductInfo::get_ProductName, &_CProductInfo::put_ProductName},
    {&_CProductInfo::get_ProductVersion, &_CProductInfo::put_ProductVersion},
    {&_CProductInfo::get_Copyright, &_CProductInfo::put_Copyright},
    {&_CProductInfo::get_WebsiteHREF, &_CProductInfo::put_WebsiteHREF},
    {&_CProductInfo::get_ProductCompanyName, &_CProductInfo::put_ProductCompanyName},
    {&_CProductInfo::get_ProductCompanyAddress, &_CProductInfo::put_ProductCompanyAddress},
    {&_CProductInfo::get_EULAPath, &_CProductInfo::put_EULAPath}};

std::u16string Get(const ComPtr<_CProductInfo>& o, Getter get = &_CProductInfo::get_ProductName) {
  BSTR value = reinterpret_cast<BSTR>(0xdeadbeef);
  EXPECT_EQ((o.get()->*get)(&value), S_OK);
  UniqueBstr owned(value);
  return FromBstr(value);
}

void Put(const ComPtr<_CProductInfo>& o, const std::u16string& text, Setter put = &_CProductInfo::put_ProductName) {
  EXPECT_EQ((o.get()->*put)(MakeBstr(text).get()), S_OK);
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
  const std::u16string values[] = {u"Product 1.0", u"\u65E5\u672C \u00F1", std::u16string(u"a\0b", 3),
                                   std::u16string(1, char16_t(0xD800)) + u"z", std::u16string(1 << 20, u'x')};
  auto object = Create();
  for (const auto& [get, put] : kStrings) {
    EXPECT_EQ(Get(object, get), u"");
    for (const auto& v : values) {
      Put(object, v, put);
      EXPECT_EQ(Get(object, get), v) << "length " << v.size();
    }
    EXPECT_EQ((object.get()->*put)(nullptr), S_OK);  // a null BSTR is ""
    EXPECT_EQ(Get(object, get), u"");
    EXPECT_EQ((object.get()->*get)(nullptr), E_POINTER);
  }
}

TEST_F(ProductInfo, ObjectsOfAThreadShareOneRecordThatEachNewObjectResets) {
  auto first = Create();
  for (const auto& [get, put] : kStrings) Put(first, u"set", put);
  auto other = Create();
  for (const auto& [get, put] : kStrings) {
    EXPECT_EQ(Get(first, get), u"");
    Put(other, u"via other", put);
    EXPECT_EQ(Get(first, get), u"via other");
  }
}

TEST_F(ProductInfo, EachThreadHasItsOwnRecordAndLanguageLibrary) {
  ASSERT_EQ(MappedFilesNamed(L"VELKORes"), 0);
  auto here = Create(), again = Create();
  Put(here, u"main thread");
  std::u16string there_first, there_after;
  int mapped_there = 0;
  std::thread([&] {
    Apartment apartment;
    auto there = Create();
    mapped_there = MappedFilesNamed(L"VELKORes");
    there_first = Get(there);
    Put(there, u"second thread");
    there_after = Get(there);
  }).join();
  EXPECT_EQ(mapped_there, 2);
  EXPECT_EQ(there_first, u"");
  EXPECT_EQ(there_after, u"second thread");
  EXPECT_EQ(Get(here), u"main thread");
  here = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1) << "held while an object of the thread lives";
  again = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 0);
}

TEST_F(ProductInfo, ProductIconHoldsOneReferenceUntilNothingOrANewObject) {
  auto picture = Picture();
  const ULONG base = Refs(picture.get());
  auto object = Create();
  ComPtr<IPictureDisp> back;
  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  EXPECT_EQ(Refs(picture.get()), base + 1);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_EQ(back.get(), picture.get());
  back = nullptr;
  ASSERT_EQ(object->putref_ProductIcon(nullptr), S_OK);
  EXPECT_EQ(Refs(picture.get()), base);
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_FALSE(back);
  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  auto reset = Create();
  EXPECT_EQ(Refs(picture.get()), base);
  EXPECT_EQ(object->get_ProductIcon(nullptr), E_POINTER);
}

TEST_F(ProductInfo, FactoryIdentityAndUnloadFollowComRules) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  ComPtr<IUnknown> unknown, a, b;
  auto outer = Create();
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, unknown.put_void()), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, unknown.put_void()), E_NOINTERFACE);
  EXPECT_EQ(CallExport("DllGetClassObject", &IID_IUnknown, &IID_IClassFactory, unknown.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(outer->QueryInterface(IID_IPersist, unknown.put_void()), E_NOINTERFACE);
  EXPECT_FALSE(unknown);
  EXPECT_EQ(outer->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  ComPtr<IDispatch> dispatch;
  ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(outer->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  ASSERT_EQ(outer->QueryInterface(IID_ISupportErrorInfo, errors.put_void()), S_OK);
  ASSERT_EQ(outer->QueryInterface(IID_IUnknown, a.put_void()), S_OK);
  ASSERT_EQ(errors->QueryInterface(IID_IUnknown, b.put_void()), S_OK);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__CProductInfo), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  outer = nullptr, dispatch = nullptr, errors = nullptr, a = nullptr, b = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "a factory is held";
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "locked";
  auto object = Create();
  ASSERT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "an object lives";
  object = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
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
  EXPECT_EQ(kept.str(), L"kept");
  EXPECT_EQ(target.str(), L"new!");
}

}  // namespace
}  // namespace velko::testing
