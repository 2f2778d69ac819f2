// ShowAboutBox from a C++ host of VELKO.dll, with the real box driven from a
// second thread the way a user drives it: what it shows, where, in which weight,
// what its keys and buttons do, what a screen reader reads of a box without a
// link, and how a failure reaches the host. Run in the English locale (the
// test's environment sets it), at the screen's DPI.
// The host's thread waits in the modal loop while the driver checks, so the
// checks of the driver's thread never run at the same time as the host's.
#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "platform/error.h"
#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary

enum Index { kProductName, kCopyright, kOK, kVisitWebsite, kLink, kViewEULA, kControls };
// Left, top, width, height in twips, in tab order; the row laid out for two buttons.
constexpr float kLayout[kControls][4] = {{150, 180, 3840, 195}, {150, 405, 3840, 195}, {4320, 135, 1185, 375},
                                         {50, 1095, 2775, 375},  {120, 660, 3900, 255}, {2875, 1095, 2775, 375}};

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::GetUserDefaultLCID(), 1033u) << "the test's environment sets en_US"; }
  // Shows the box of `o` and runs `script` on it from a second thread; the call
  // must wait for the box and return False.
  void Show(const ComPtr<_CProductInfo>& o, const std::function<void(HWND, const std::vector<HWND>&)>& script) {
    HRESULT hr = E_FAIL;
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_TRUE(WhileShown([&] { hr = o->ShowAboutBox(&result); }, [&](HWND box) {
      EXPECT_EQ(hr, E_FAIL) << "ShowAboutBox returned while the box was up";
      const std::vector<HWND> c = Children(box);
      ASSERT_EQ(c.size(), static_cast<size_t>(kControls));
      script(box, c);
    }));
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
  }
  // The box of `o` with a link, with `code` run under it once it is up (on the
  // host's thread, as a host's timer would); closed with OK.
  void ShowRunning(ComPtr<_CProductInfo>& o, std::function<void(HWND)> code);
  ComPtr<_CProductInfo> Product(const std::wstring& eula) {
    auto o = Create();
    o->put_ProductName(Bstr(L"Widget")), o->put_ProductVersion(Bstr(L"2.5"));
    o->put_Copyright(Bstr(L"(c) Widget Makers")), o->put_EULAPath(Bstr(eula));
    return o;
  }
  Apartment apartment_;
};

TEST_F(AboutBox, ShowsTheProductWithTheLibrarysCaptionsInTheLocaleFontAtTheDesignPositions) {
  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  for (const bool eula : {true, false}) {
    SCOPED_TRACE(eula ? "with a EULA path" : "without a EULA path");
    auto o = Product(eula ? L"C:\\eula.rtf" : L"");
    o->AddURL(Bstr(L"http://first"), nullptr);  // only its address is kept, no link shows ...
    if (eula) {
      o->AddURL(Bstr(L"http://widget.example/"), Bstr(L"Widget on the web"));  // ... until this
      o->AddURL(Bstr(L"http://late"), Bstr(L"Too late"));
    }
    Show(o, [&](HWND box, const std::vector<HWND>& c) {
      // The English library's texts, where the design has others ("Visit Our Website...", "View EULA...").
      EXPECT_EQ(Text(box), L"About Widget");
      const std::wstring texts[kControls] = {L"Widget 2.5", L"(c) Widget Makers", L"&OK", L"Visit our website...",
                                             eula ? L"Widget on the web" : L"", L"View license agreement..."};
      for (int i = 0; i < kControls; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Text(c[i]), texts[i]);
        EXPECT_EQ(::IsWindowVisible(c[i]) != FALSE, i != kViewEULA || eula);
        const RECT r = RectInParent(c[i]);
        const LONG got[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        // Alone in the row, the website button keeps its width.
        for (int k = 0; k < 4 && (i != kViewEULA || eula); ++k) EXPECT_NEAR(got[k], kLayout[i][k] * dpi / 1440, 1);
        // The name bold, the link underlined (the locale's face and size: AboutBoxFont, in this program).
        const LOGFONTW f = FontOf(c[i]);
        EXPECT_EQ(std::pair(f.lfWeight, f.lfUnderline != 0),
                  std::pair(LONG{i == kProductName ? FW_BOLD : FW_NORMAL}, i == kLink));
        // The buttons are common controls 6 (only they know their ideal size)
        // although this program has no manifest.
        SIZE ideal{};
        EXPECT_EQ(::SendMessageW(c[i], BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != 0,
                  i == kOK || i == kVisitWebsite || i == kViewEULA);
      }
      RECT client;
      ::GetClientRect(box, &client);
      EXPECT_NEAR(client.right, 5700.0 * dpi / 1440, 1);
      EXPECT_NEAR(client.bottom, 1605.0 * dpi / 1440, 1);
      EXPECT_EQ(FocusOf(::GetWindowThreadProcessId(box, nullptr)), c[kOK]);
      EXPECT_EQ(::SendMessageW(box, DM_GETDEFID, 0, 0), MAKELRESULT(::GetDlgCtrlID(c[kOK]), DC_HASDEFID));
      if (!eula) {  // nor a link: the label is neither a tab stop nor a link to a screen reader
        EXPECT_NE(CopyWithCtrlC(box).find(L"\r\n(c) Widget Makers\r\n<http://first>\r\n---"), std::wstring::npos);
        Apartment reader;
        EXPECT_EQ((std::vector<HWND>{Tab(box), Tab(box)}), (std::vector<HWND>{c[kVisitWebsite], c[kOK]}));
        ComPtr<IAccessible> url;
        VARIANT self{}, role{}, state{};
        self.vt = VT_I4;  // CHILDID_SELF
        ASSERT_EQ(::AccessibleObjectFromWindow(c[kLink], OBJID_CLIENT, __uuidof(IAccessible), url.put_void()), S_OK);
        url->get_accRole(self, &role), url->get_accState(self, &state);
        EXPECT_TRUE(role.lVal != ROLE_SYSTEM_LINK && !(state.lVal & STATE_SYSTEM_LINKED)) << role.lVal << " " << state.lVal;
      }
      ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
    });
  }
}

// Run once on the host's thread as soon as its box is up; `g_ran` tells the driver it has.
std::function<void(HWND)> g_under_box;
std::atomic<bool> g_ran{false};
HWND ShownBox(HWND box = nullptr) {  // of this thread
  return ::EnumThreadWindows(::GetCurrentThreadId(), TakeVisibleDialog, reinterpret_cast<LPARAM>(&box)), box;
}
void CALLBACK UnderTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  if (const HWND box = ShownBox()) ::KillTimer(nullptr, timer), std::exchange(g_under_box, nullptr)(box), g_ran = true;
}
void AboutBox::ShowRunning(ComPtr<_CProductInfo>& o, std::function<void(HWND)> code) {
  o->AddURL(Bstr(L"http://widget.example/"), Bstr(L"Widget on the web"));
  g_under_box = std::move(code), g_ran = false;
  ::SetTimer(nullptr, 0, 1, UnderTheBox);
  Show(o, [](HWND, const std::vector<HWND>& c) {
    ASSERT_TRUE(WaitUntil([] { return g_ran.load(); }));
    ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
  });
}

// Over the link the pointer is the DLL's pointing hand, hot spot at the
// fingertip; over the other label, another one.
TEST_F(AboutBox, ThePointerOverTheLinkIsAPointingHand) {
  auto o = Product(L"");
  o->AddURL(Bstr(L"http://widget.example/"), Bstr(L"Widget on the web"));
  HCURSOR pointers[2] = {};
  Show(o, [&](HWND box, const std::vector<HWND>& c) {
    // Sharing the box's input state, this thread reads the pointer that the box's thread sets.
    const DWORD self = ::GetCurrentThreadId(), shown = ::GetWindowThreadProcessId(box, nullptr);
    ::AttachThreadInput(self, shown, TRUE);
    for (const int i : {kLink, kCopyright}) {
      ::SendMessageW(c[i], WM_SETCURSOR, reinterpret_cast<WPARAM>(c[i]), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      pointers[i == kCopyright] = ::GetCursor();
    }
    ::AttachThreadInput(self, shown, FALSE);
    ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
  });
  ICONINFO hand{};
  ::GetIconInfo(pointers[0], &hand);
  ::DeleteObject(hand.hbmMask), ::DeleteObject(hand.hbmColor);
  EXPECT_EQ(std::tuple(hand.xHotspot, hand.yHotspot, pointers[0] == pointers[1]), std::tuple(12ul, 9ul, false));
}

// The host's error: the HRESULT, and the description and interface of its error object.
std::tuple<HRESULT, std::wstring, GUID> HostError(HRESULT hr) {
  ComPtr<IErrorInfo> error;
  Bstr description;
  GUID guid = GUID_NULL;
  if (::GetErrorInfo(0, error.put()) == S_OK) error->GetDescription(description.put()), error->GetGUID(&guid);
  return {hr, description.str(), guid};
}

// Ctrl+C copies once, on key-down, and C alone not; Escape does nothing; Enter
// presses OK, also on the link.
TEST_F(AboutBox, OnlyCtrlCOrEnterActsOnTheBox) {
  auto o = Product(L"");
  o->AddURL(Bstr(L"http://widget.example/"), Bstr(L"Widget on the web"));
  Show(o, [&](HWND box, const std::vector<HWND>& c) {
    const std::wstring head = L"---------------------------\r\nAbout Widget\r\n";
    EXPECT_EQ(CopyWithCtrlC(box).substr(0, head.size()), head);
    TypeKeys(box, {VK_ESCAPE}), TypeKeys(box, {'C'});
    EXPECT_EQ(Tab(box), c[kVisitWebsite]);
    EXPECT_TRUE(::IsWindowVisible(box)) << "closed by Escape";
    EXPECT_EQ(TakeClipboardText(), L"") << "copied again on key-up, or by C without Ctrl";
    ASSERT_EQ(Tab(box), c[kLink]);
    TypeKeys(box, {VK_RETURN});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 5000)) << "not closed by Enter";
  });
}

// A second object's ShowAboutBox, from the host's code that the box's modal
// loop runs (a timer), is refused with the automation error 400, its text and
// this interface's GUID, and leaves the open box's link alone. That code runs
// in the host's activation context, not the box's.
TEST_F(AboutBox, HostCodeRunningUnderTheBoxCannotShowASecondOne) {
  auto o = Product(L"");
  std::tuple<HRESULT, std::wstring, GUID> error;
  VARIANT_BOOL result = VARIANT_TRUE;
  HANDLE context = INVALID_HANDLE_VALUE;
  std::wstring link;
  ShowRunning(o, [&](HWND box) {
    ::GetCurrentActCtx(&context);
    auto second = Create();
    second->ClearURLS(), second->AddURL(Bstr(L"http://second.example/"), Bstr(L"Second"));
    error = HostError(second->ShowAboutBox(&result));
    second = nullptr, link = Text(Children(box).at(kLink));
  });
  EXPECT_EQ(error, std::tuple(HRESULT(0x800A0190), std::wstring(L"Form already displayed; can't show modally"),
                              IID__CProductInfo));
  EXPECT_EQ(std::tuple(result, context, link), std::tuple(VARIANT_FALSE, HANDLE{nullptr}, L"Widget on the web"));
}

// The host may let go of its object while the box is up; a screen reader may
// keep the link's accessible object past the box, which then answers with an error.
TEST_F(AboutBox, AnOpenBoxOrItsLinksAccessibleObjectKeepsTheDllInUse) {
  auto o = Product(L"");
  HRESULT unload = E_FAIL;
  ComPtr<IAccessible> link;
  ShowRunning(o, [&](HWND box) {
    o = nullptr;
    unload = CallExport("DllCanUnloadNow");
    ::AccessibleObjectFromWindow(Children(box).at(kLink), OBJID_CLIENT, __uuidof(IAccessible), link.put_void());
  });
  EXPECT_EQ(unload, S_FALSE) << "the box was open";
  ASSERT_TRUE(link);
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE) << "a screen reader holds the link's object";
  VARIANT self{};
  self.vt = VT_I4;
  EXPECT_EQ(link->get_accName(self, Bstr().put()), CO_E_OBJNOTCONNECTED);
  link = nullptr;
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
}

LRESULT CALLBACK HostWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER) ::MessageBoxW(window, L"Saved.", L"Host", MB_OK);
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// The host's windows take no input while the box is up, and a window disabled
// before stays so after it. A modal box that the host opens meanwhile (on a
// message of its own) stays modal when the user closes the About box first: its
// owner takes no input until it is closed too, while a window whose owned palette
// the box disabled too takes input again at once.
TEST_F(AboutBox, IsTaskModalBesideTheHostsOwnModalBoxes) {
  const WNDCLASSW type{0, HostWindow, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"VELKO test host"};
  const HWND host = ::CreateWindowExW(0, MAKEINTATOM(::RegisterClassW(&type)), L"host", WS_OVERLAPPEDWINDOW, 0, 0, 50,
                                      50, nullptr, nullptr, nullptr, nullptr);
  HWND windows[3] = {};  // disabled before; enabled, with a palette (shown above it) that it owns
  for (int i = 0; i < 3; ++i)
    windows[i] = ::CreateWindowExW(0, L"STATIC", L"", i == 0 ? WS_OVERLAPPEDWINDOW | WS_DISABLED : WS_POPUP | WS_VISIBLE,
                                   0, 0, 50, 50, i == 2 ? windows[1] : nullptr, nullptr, nullptr, nullptr);
  BOOL enabled_under_modal[2] = {TRUE, FALSE};
  Show(Product(L""), [&](HWND box, const std::vector<HWND>& c) {
    EXPECT_FALSE(::IsWindowEnabled(host));
    ::PostMessageW(host, WM_USER, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::FindWindowW(L"#32770", L"Host") != nullptr; }));
    ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
    WaitUntil([&] { return !::IsWindowVisible(box); }, 5000);
    enabled_under_modal[0] = ::IsWindowEnabled(host), enabled_under_modal[1] = ::IsWindowEnabled(windows[1]);
    ::PostMessageW(::FindWindowW(L"#32770", L"Host"), WM_COMMAND, IDOK, 0);
  });
  // Under the host's modal box: the host's window, the palette's owner; then the host's, the disabled one, the palette.
  EXPECT_EQ((std::vector<BOOL>{enabled_under_modal[0], enabled_under_modal[1], ::IsWindowEnabled(host),
                               ::IsWindowEnabled(windows[0]), ::IsWindowEnabled(windows[2])}),
            (std::vector<BOOL>{FALSE, TRUE, TRUE, FALSE, TRUE}));
  for (HWND window : {windows[2], windows[1], windows[0], host}) ::DestroyWindow(window);
}

void CALLBACK CloseShownBox(HWND, UINT, UINT_PTR, DWORD) { ::PostMessageW(ShownBox(), WM_CLOSE, 0, 0); }

// On a window station that nobody sees (a service's, a web server's), or on a
// desktop of its own that is not the one taking input, the box fails at once
// with 1459 and its text instead of waiting for ever; the next box loads afresh.
TEST_F(AboutBox, FailsAtOnceWhereNobodyCanSeeIt) {
  const HWINSTA seen = ::GetProcessWindowStation(), unseen = ::CreateWindowStationW(L"VELKO service", 0, 0, nullptr);
  ASSERT_TRUE(unseen && ::SetProcessWindowStation(unseen));
  auto o = Product(L"");
  VARIANT_BOOL result = VARIANT_TRUE;
  const HRESULT hr = o->ShowAboutBox(&result);
  ::SetProcessWindowStation(seen), ::CloseWindowStation(unseen);
  const std::u16string text = GetErrorText(1459);
  EXPECT_EQ(HostError(hr), std::tuple(HRESULT(0x800A05B3), std::wstring(text.begin(), text.end()), IID__CProductInfo));
  EXPECT_EQ(result, VARIANT_FALSE);
  const HDESK desktop = ::CreateDesktopW(L"VELKO hidden", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  std::thread([&] {
    ASSERT_TRUE(desktop && ::SetThreadDesktop(desktop));  // before the apartment makes its window
    Apartment apartment;
    ::SetTimer(nullptr, 0, 5000, CloseShownBox);  // a box shown there would wait for ever; ends with the thread
    EXPECT_EQ(Create()->ShowAboutBox(&result), HRESULT(0x800A05B3)) << "on a desktop that is not the one taking input";
  }).join();
  ::CloseDesktop(desktop);
  o->put_ProductName(Bstr(L"Seen"));
  Show(o, [](HWND, const std::vector<HWND>& c) {
    EXPECT_EQ(Text(c[kProductName]), L"Seen 2.5");
    ::SendMessageW(c[kOK], BM_CLICK, 0, 0);
  });
}

}  // namespace
}  // namespace velko::testing
