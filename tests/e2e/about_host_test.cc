// ShowAboutBox from a C++ host of VELKO.dll: the call blocks while the real box
// is up, returns False once it is closed, shows the calling object's own links
// with the thread's product information, reports a failure of its own with the
// error's number and description, and points at links with the DLL's own hand.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/dialog_driver.h"
#include "tests/com/com_host.h"

namespace velko {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary
using velko::testing::MakeBstr;
using velko::testing::Server;

enum Index { kProductName, kCopyright, kOK, kVisitWebsite, kLink, kViewEULA, kControls };
constexpr int kPointingHandCursor = 201;  // resource of VELKO.dll

struct Seen {
  std::wstring caption;
  std::wstring texts[kControls];
  bool eula_visible = false;
};

class AboutBoxHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Server().module()) << "bin\\VELKO.dll did not load"; }

  static void Set(const ComPtr<_CProductInfo>& o, HRESULT (STDMETHODCALLTYPE _CProductInfo::*put)(BSTR),
                  const std::u16string& value) {
    ASSERT_EQ((o.get()->*put)(MakeBstr(value).get()), S_OK);
  }
  static void AddURL(const ComPtr<_CProductInfo>& o, const std::u16string& href, const std::u16string& text) {
    ASSERT_EQ(o->AddURL(MakeBstr(href).get(), MakeBstr(text).get()), S_OK);
  }
  // ShowAboutBox on `o` with the box read and closed through OK from outside.
  static Seen Show(const ComPtr<_CProductInfo>& o, HRESULT* hr, VARIANT_BOOL* result,
                   const std::function<void(HWND)>& more = nullptr) {
    Seen seen;
    const bool appeared = WhileShown([&] { *hr = o->ShowAboutBox(result); },
                                     [&](HWND box) {
                                       seen.caption = Text(box);
                                       const std::vector<HWND> c = Children(box);
                                       if (c.size() != kControls) return;
                                       for (int i = 0; i < kControls; ++i) seen.texts[i] = Text(c[i]);
                                       seen.eula_visible = ::IsWindowVisible(c[kViewEULA]) != FALSE;
                                       if (more) more(box);
                                       ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
                                     });
    EXPECT_TRUE(appeared);
    return seen;
  }

  velko::testing::Apartment apartment_;
};

TEST_F(AboutBoxHost, ShowAboutBoxBlocksUntilTheBoxIsClosedAndReturnsFalse) {
  ComPtr<_CProductInfo> o = Server().Create();
  Set(o, &_CProductInfo::put_ProductName, u"Host Product");
  Set(o, &_CProductInfo::put_ProductVersion, u"9.1");
  Set(o, &_CProductInfo::put_Copyright, u"(c) Host");
  Set(o, &_CProductInfo::put_EULAPath, u"C:\\eula.rtf");
  AddURL(o, u"http://host.example/", u"Host home");
  HRESULT hr = E_FAIL;
  VARIANT_BOOL result = VARIANT_TRUE;
  bool still_waiting = false;
  const Seen seen = Show(o, &hr, &result, [&](HWND) { still_waiting = hr == E_FAIL; });
  EXPECT_TRUE(still_waiting) << "the call returned while the box was up";
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_NE(seen.caption.find(L"Host Product"), std::wstring::npos) << "caption";
  EXPECT_EQ(seen.texts[kProductName], L"Host Product 9.1");
  EXPECT_EQ(seen.texts[kCopyright], L"(c) Host");
  EXPECT_EQ(seen.texts[kLink], L"Host home");
  EXPECT_TRUE(seen.eula_visible);
  EXPECT_FALSE(seen.texts[kOK].empty()) << "the language library beside the DLL gives the captions";
}

TEST_F(AboutBoxHost, ThroughIDispatchTheResultIsTheBooleanFalse) {
  ComPtr<_CProductInfo> o = Server().Create();
  OLECHAR name[] = L"ShowAboutBox";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(o->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  DISPPARAMS none{};
  VARIANT result;
  ::VariantInit(&result);
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(WhileShown(
      [&] { hr = o->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr); },
      [](HWND box) { ::SendMessageW(Children(box).at(kOK), BM_CLICK, 0, 0); }));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_FALSE);
}

TEST_F(AboutBoxHost, EachObjectShowsItsOwnLinksWithTheThreadsProductInfo) {
  ComPtr<_CProductInfo> a = Server().Create(), b = Server().Create(), never = Server().Create(),
                        cleared = Server().Create();
  // Set after the last creation, which resets the thread's product information.
  Set(b, &_CProductInfo::put_ProductName, u"Shared");
  Set(b, &_CProductInfo::put_ProductVersion, u"1");
  AddURL(a, u"http://a", u"");
  AddURL(a, u"http://a2", u"Link of A");
  AddURL(b, u"http://b", u"Link of B");
  AddURL(cleared, u"http://c", u"Link of C");
  ASSERT_EQ(cleared->ClearURLS(), S_OK);
  struct Case {
    const ComPtr<_CProductInfo>* object;
    const wchar_t* link;
  } cases[] = {{&a, L"Link of A"}, {&b, L"Link of B"}, {&never, L""}, {&cleared, L""}, {&a, L"Link of A"}};
  for (const Case& c : cases) {
    HRESULT hr = E_FAIL;
    VARIANT_BOOL result = VARIANT_TRUE;
    const Seen seen = Show(*c.object, &hr, &result);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(seen.texts[kLink], c.link);
    EXPECT_EQ(seen.texts[kProductName], L"Shared 1");
  }
}

// The host calls ShowAboutBox again from a timer while the box is up, which the
// box refuses: the inner call fails with the automation error 400.
std::atomic<bool> g_inner_done{false};
_CProductInfo* g_inner_object = nullptr;
HRESULT g_inner_hr = S_OK;
VARIANT_BOOL g_inner_result = VARIANT_TRUE;
std::wstring g_inner_description;

void CALLBACK ShowAgain(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  g_inner_hr = g_inner_object->ShowAboutBox(&g_inner_result);
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.put()) == S_OK) {
    BSTR text = nullptr;
    info->GetDescription(&text);
    UniqueBstr owned(text);
    g_inner_description = text ? text : L"";
  }
  g_inner_done = true;
}

TEST_F(AboutBoxHost, AFailureReachesTheHostWithNumberAndDescription) {
  ComPtr<_CProductInfo> o = Server().Create();
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(o->QueryInterface(IID_ISupportErrorInfo, support.put_void()), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__CProductInfo), S_OK);
  g_inner_object = o.get();
  ::SetTimer(nullptr, 0, 1, ShowAgain);
  HRESULT hr = E_FAIL;
  VARIANT_BOOL result = VARIANT_TRUE;
  bool open_after_inner_call = false;
  Show(o, &hr, &result, [&](HWND box) {
    WaitUntil([] { return g_inner_done.load(); });
    open_after_inner_call = ::IsWindowVisible(box) != FALSE;
  });
  ASSERT_TRUE(g_inner_done);
  EXPECT_EQ(g_inner_hr, static_cast<HRESULT>(0x800A0190)) << "automation error 400";
  EXPECT_EQ(g_inner_description, L"Form already displayed; can't show modally");
  EXPECT_EQ(g_inner_result, VARIANT_FALSE);
  EXPECT_TRUE(open_after_inner_call);
  EXPECT_EQ(hr, S_OK) << "the outer call is not disturbed";
  EXPECT_EQ(result, VARIANT_FALSE);
}

TEST_F(AboutBoxHost, TheLinkShowsTheDllsOwnPointingHand) {
  // 32 x 32, monochrome (mask only), hot spot at the fingertip.
  HCURSOR own = static_cast<HCURSOR>(
      ::LoadImageW(Server().module(), MAKEINTRESOURCEW(kPointingHandCursor), IMAGE_CURSOR, 32, 32, LR_SHARED));
  ASSERT_NE(own, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(own, &info));
  BITMAP mask{};
  ::GetObjectW(info.hbmMask, sizeof mask, &mask);
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 12u);
  EXPECT_EQ(info.yHotspot, 9u);
  EXPECT_EQ(info.hbmColor, nullptr);
  EXPECT_EQ(mask.bmWidth, 32);
  EXPECT_EQ(mask.bmHeight, 64) << "AND and XOR masks of 32 rows each";
  ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);

  ComPtr<_CProductInfo> o = Server().Create();
  HCURSOR over_link = nullptr;
  HRESULT hr = E_FAIL;
  VARIANT_BOOL result = VARIANT_TRUE;
  Show(o, &hr, &result, [&](HWND box) {
    const DWORD box_thread = ::GetWindowThreadProcessId(box, nullptr);
    ::AttachThreadInput(::GetCurrentThreadId(), box_thread, TRUE);
    ::SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(Children(box)[kLink]),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    over_link = ::GetCursor();
    ::AttachThreadInput(::GetCurrentThreadId(), box_thread, FALSE);
  });
  EXPECT_EQ(over_link, ::LoadCursorW(Server().module(), MAKEINTRESOURCEW(kPointingHandCursor)));
}

}  // namespace
}  // namespace velko
