// CProductInfo through its vtable, its IDispatch and its class factory, hosted
// in-process from the built DLL.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/text.h"
#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR);

struct StringProperty {
  const char* name;
  Getter get;
  Setter put;
};

const StringProperty kStrings[] = {
    {"ProductName", &_CProductInfo::get_ProductName, &_CProductInfo::put_ProductName},
    {"ProductVersion", &_CProductInfo::get_ProductVersion, &_CProductInfo::put_ProductVersion},
    {"Copyright", &_CProductInfo::get_Copyright, &_CProductInfo::put_Copyright},
    {"WebsiteHREF", &_CProductInfo::get_WebsiteHREF, &_CProductInfo::put_WebsiteHREF},
    {"ProductCompanyName", &_CProductInfo::get_ProductCompanyName, &_CProductInfo::put_ProductCompanyName},
    {"ProductCompanyAddress", &_CProductInfo::get_ProductCompanyAddress, &_CProductInfo::put_ProductCompanyAddress},
    {"EULAPath", &_CProductInfo::get_EULAPath, &_CProductInfo::put_EULAPath},
};

std::u16string Get(_CProductInfo* o, Getter get) {
  BSTR value = reinterpret_cast<BSTR>(0xdeadbeef);
  EXPECT_EQ((o->*get)(&value), S_OK);
  UniqueBstr owned(value);
  return FromBstr(value);
}

void Put(_CProductInfo* o, Setter put, const std::u16string& text) {
  UniqueBstr value = MakeBstr(text);
  EXPECT_EQ((o->*put)(value.get()), S_OK);
}

class ProductInfoTest : public ::testing::Test {
 protected:
  Apartment apartment;
};

TEST_F(ProductInfoTest, StringsRoundTripExactlyAndStartEmpty) {
  std::u16string big(1 << 20, u'x');
  big[12345] = u'\0';
  const std::u16string values[] = {
      u"",
      u"Product 1.0",
      FromUtf8("日本語 ñ €"),
      std::u16string(u"a\0b", 3),                 // embedded NUL
      std::u16string(1, char16_t(0xD800)) + u"z",  // lone surrogate
      u"  padded  ",
      big,
  };
  auto object = Server().Create();
  ASSERT_TRUE(object);
  for (const auto& p : kStrings) {
    EXPECT_EQ(Get(object.get(), p.get), u"") << p.name;
    for (const auto& v : values) {
      Put(object.get(), p.put, v);
      EXPECT_EQ(Get(object.get(), p.get), v) << p.name << " length " << v.size();
    }
    EXPECT_EQ((object.get()->*p.put)(nullptr), S_OK) << p.name;  // a null BSTR is ""
    EXPECT_EQ(Get(object.get(), p.get), u"") << p.name;
    EXPECT_EQ((object.get()->*p.get)(nullptr), E_POINTER) << p.name;
  }
}

TEST_F(ProductInfoTest, PropertiesAreSharedByTheThreadAndResetByEachNewObject) {
  auto first = Server().Create();
  for (const auto& p : kStrings) Put(first.get(), p.put, FromUtf8(p.name));
  auto second_view = ComPtr<_CProductInfo>(first.get());
  auto other = Server().Create();  // wipes what `first` stored, for every object
  for (const auto& p : kStrings) {
    EXPECT_EQ(Get(first.get(), p.get), u"") << p.name;
    Put(other.get(), p.put, u"via other");
    EXPECT_EQ(Get(first.get(), p.get), u"via other") << p.name;
  }
}

TEST_F(ProductInfoTest, EachThreadHasItsOwnProductInfo) {
  auto here = Server().Create();
  Put(here.get(), &_CProductInfo::put_ProductName, u"main thread");
  std::u16string seen_there_first, seen_there_after;
  std::thread([&] {
    Apartment apartment;
    auto there = Server().Create();
    seen_there_first = Get(there.get(), &_CProductInfo::get_ProductName);
    Put(there.get(), &_CProductInfo::put_ProductName, u"second thread");
    seen_there_after = Get(there.get(), &_CProductInfo::get_ProductName);
  }).join();
  EXPECT_EQ(seen_there_first, u"");
  EXPECT_EQ(seen_there_after, u"second thread");
  EXPECT_EQ(Get(here.get(), &_CProductInfo::get_ProductName), u"main thread");
}

ULONG RefCount(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

TEST_F(ProductInfoTest, ProductIconHoldsOneReferenceToTheSameObject) {
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
  const ULONG base = RefCount(picture.get());

  auto object = Server().Create();
  ComPtr<IPictureDisp> none;
  ASSERT_EQ(object->get_ProductIcon(none.put()), S_OK);
  EXPECT_FALSE(none);

  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  EXPECT_EQ(RefCount(picture.get()), base + 1);
  ComPtr<IPictureDisp> back;
  ASSERT_EQ(object->get_ProductIcon(back.put()), S_OK);
  EXPECT_EQ(back.get(), picture.get());  // no copy
  back = nullptr;

  ASSERT_EQ(object->putref_ProductIcon(nullptr), S_OK);  // none releases it
  EXPECT_EQ(RefCount(picture.get()), base);
  ASSERT_EQ(object->putref_ProductIcon(picture.get()), S_OK);
  auto reset = Server().Create();  // a new object releases it too
  EXPECT_EQ(RefCount(picture.get()), base);
  EXPECT_EQ(object->get_ProductIcon(nullptr), E_POINTER);
}

TEST_F(ProductInfoTest, ThreadExitReleasesWhatTheThreadStateHolds) {
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
  const ULONG base = RefCount(picture.get());
  ULONG held_after_release = 0;
  std::thread([&] {
    Apartment apartment;
    auto object = Server().Create();
    object->putref_ProductIcon(picture.get());
    object = nullptr;  // ProductInfo outlives the objects of its thread
    held_after_release = RefCount(picture.get());
  }).join();
  EXPECT_EQ(held_after_release, base + 1);
  EXPECT_EQ(RefCount(picture.get()), base);  // freed when the thread detached
}

TEST_F(ProductInfoTest, LanguageLibraryIsMappedWhileObjectsOfTheThreadLive) {
  ASSERT_EQ(MappedFilesNamed(L"VELKORes"), 0);
  auto a = Server().Create();
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
  auto b = Server().Create();
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
  a = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
  b = nullptr;
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 0);
  auto c = Server().Create();  // loads again
  EXPECT_EQ(MappedFilesNamed(L"VELKORes"), 1);
}

TEST_F(ProductInfoTest, LinkListTakesAnyStrings) {
  auto object = Server().Create();
  EXPECT_EQ(object->AddURL(nullptr, nullptr), S_OK);
  UniqueBstr odd = MakeBstr(std::u16string(u"a|b\0c", 5));
  EXPECT_EQ(object->AddURL(odd.get(), odd.get()), S_OK);
  EXPECT_EQ(object->ClearURLS(), S_OK);
  EXPECT_EQ(object->ClearURLS(), S_OK);
}

TEST_F(ProductInfoTest, FactoryAndIdentityFollowComRules) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Server().GetClassObject(CLSID_CProductInfo, IID_IClassFactory, factory.put_void()), S_OK);
  ComPtr<IUnknown> unknown;
  auto outer = Server().Create();
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, unknown.put_void()), CLASS_E_NOAGGREGATION);
  EXPECT_FALSE(unknown);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, unknown.put_void()), E_NOINTERFACE);
  EXPECT_EQ(Server().GetClassObject(IID_IUnknown, IID_IClassFactory, unknown.put_void()), CLASS_E_CLASSNOTAVAILABLE);

  ComPtr<IUnknown> a, b;
  ASSERT_EQ(outer->QueryInterface(IID_IUnknown, a.put_void()), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(outer->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, b.put_void()), S_OK);
  EXPECT_EQ(a.get(), b.get());
  ComPtr<IUnknown> none;
  EXPECT_EQ(outer->QueryInterface(IID_IPersist, none.put_void()), E_NOINTERFACE);
  EXPECT_FALSE(none);
  ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(outer->QueryInterface(IID_ISupportErrorInfo, errors.put_void()), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__CProductInfo), S_OK);
}

TEST_F(ProductInfoTest, CanUnloadOnlyWithoutObjectsAndLocks) {
  {
    auto object = Server().Create();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(Server().CanUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Server().GetClassObject(CLSID_CProductInfo, IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory = nullptr;
  EXPECT_EQ(Server().CanUnloadNow(), S_OK);
  // Objects still work after the type information was dropped by the check.
  auto object = Server().Create();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  OLECHAR name[] = L"EULAPath";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 10);
}

}  // namespace
}  // namespace velko::testing
