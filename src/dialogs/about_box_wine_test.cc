// frmAboutBox as a real modal dialog, driven from a second thread the way a
// user would drive it: what it shows, where, in which font, with which visual
// styles, and what Enter, Escape, Ctrl+C, the close box, the buttons and the
// link really do. The shipped language libraries in bin/ give the texts, for a
// locale pinned per test. Run with VELKO_TEST_DPI set, every check is made at
// that DPI, which the run's Wine prefix must give the screen.
#include <windows.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "dialogs/about_box.h"
#include "localization/locale_fonts.h"
#include "platform/text.h"
#include "platform/win32/forms_test_driver.h"
#include "platform/win32/shell_test_marker.h"

namespace velko {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary
using velko::testing::MarkerCopy;

// The real resource API with the user locale pinned and the component folder
// at bin/, where the product's language libraries are.
class ShippedLibraries final : public platform::ResourceApi {
 public:
  explicit ShippedLibraries(uint32_t lcid) : lcid_(lcid) {}
  uint32_t UserDefaultLcid() override { return lcid_; }
  bool FileExists(const std::u16string& p) override { return real().FileExists(p); }
  platform::ModuleHandle LoadLibraryAsDatafile(const std::u16string& p) override {
    return real().LoadLibraryAsDatafile(p);
  }
  int LoadStringFrom(platform::ModuleHandle m, uint32_t id, char16_t* b, int n) override {
    return real().LoadStringFrom(m, id, b, n);
  }
  std::u16string_view StringResource(platform::ModuleHandle m, uint32_t id) override {
    return real().StringResource(m, id);
  }
  void FreeLibrary(platform::ModuleHandle m) override { real().FreeLibrary(m); }
  std::u16string ComponentFolder() override { return real().ComponentFolder() + u"\\..\\bin"; }

 private:
  static platform::ResourceApi& real() { return platform::DefaultResourceApi(); }
  uint32_t lcid_;
};

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

// What the driver read off the box while it was shown.
struct Seen {
  struct Child {
    std::wstring window_class, text;
    RECT rect;
    bool visible;
    LONG style;
    LOGFONTW font;
  };
  std::wstring caption;
  RECT client, window;
  LONG style;
  LOGFONTW font;
  std::vector<Child> children;
  int focus = -1;  // index of the child with the focus
  LRESULT default_id = 0;
};

Seen Look(HWND box, DWORD box_thread) {
  Seen seen;
  seen.caption = Text(box);
  ::GetClientRect(box, &seen.client);
  ::GetWindowRect(box, &seen.window);
  seen.style = ::GetWindowLongW(box, GWL_STYLE);
  seen.font = FontOf(box);
  seen.default_id = ::SendMessageW(box, DM_GETDEFID, 0, 0);
  const HWND focus = FocusOf(box_thread);
  for (HWND child : Children(box)) {
    if (child == focus) seen.focus = static_cast<int>(seen.children.size());
    seen.children.push_back({ClassOf(child), Text(child), RectInParent(child), ::IsWindowVisible(child) != FALSE,
                             ::GetWindowLongW(child, GWL_STYLE), FontOf(child)});
  }
  return seen;
}

enum Index { kProductName, kCopyright, kOK, kVisitWebsite, kLink, kViewEULA, kControls };

// Design positions in tab order (Left, Top, Width, Height), the row laid out for two buttons.
constexpr float kLayout[kControls][4] = {{150, 180, 3840, 195}, {150, 405, 3840, 195}, {4320, 135, 1185, 375},
                                         {50, 3000, 2775, 375},  {120, 660, 3900, 255}, {2875, 3000, 2775, 375}};

// The DPI of this run: the one a script gave the screen (VELKO_TEST_DPI), else the screen's.
int ExpectedDpi(int index) {
  const int screen = ScreenDpi(index);
  const char* set = std::getenv("VELKO_TEST_DPI");
  if (!set) return screen;
  EXPECT_EQ(screen, std::atoi(set)) << "the prefix's LogPixels did not reach the screen";
  return std::atoi(set);
}

class AboutBoxWine : public ::testing::Test {
 protected:
  AboutBoxWine() { UseLocale(1033); }
  ~AboutBoxWine() override { lang_->FreeLangLibrary(); }

  void UseLocale(uint32_t lcid) {
    form_.reset();
    if (lang_) lang_->FreeLangLibrary();
    api_ = std::make_unique<ShippedLibraries>(lcid);
    lang_ = std::make_unique<LangSupport>(*api_);
    lang_->LoadLangLibrary(u"VELKORes");
    form_ = std::make_unique<AboutBoxForm>(info, *lang_, AboutBoxPlatform{.locale = *api_});
  }
  // Shows the box with `links` and runs `script` against it; returns what the
  // driver saw when the box came up.
  Seen Show(const std::function<void(HWND box)>& script, const std::vector<std::u16string>& links = {}) {
    const DWORD me = ::GetCurrentThreadId();
    Seen seen;
    const bool appeared = WhileShown([&] { ShowAboutBox(*form_, &links); },
                                     [&](HWND box) {
                                       seen = Look(box, me);
                                       script(box);
                                     });
    EXPECT_TRUE(appeared) << "no box came up";
    EXPECT_FALSE(form_->IsLoaded()) << "the box returned without unloading";
    return seen;
  }
  static void ClickOK(HWND box) { ::SendMessageW(Children(box).at(kOK), BM_CLICK, 0, 0); }
  std::u16string Text(int32_t id) const { return lang_->GetLangString(id); }

  ProductInfo info{u"Widget", u"2.5", u"(c) 2024 Widget Makers", u"", u"", u"", u""};
  std::unique_ptr<ShippedLibraries> api_;
  std::unique_ptr<LangSupport> lang_;
  std::unique_ptr<AboutBoxForm> form_;
  const int dpi_x_ = ExpectedDpi(LOGPIXELSX);
  const int dpi_y_ = ExpectedDpi(LOGPIXELSY);
};

// Observed pixels against a length in twips: equal within one pixel's rounding.
::testing::AssertionResult Twips(int pixels, float twips, int dpi) {
  const float back = forms::PixelsToTwips(pixels, dpi);
  if (std::fabs(back - twips) <= 1440.0f / dpi) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << pixels << " px is " << back << " twips, not " << twips;
}

void ExpectLayout(const Seen& seen, int dpi_x, int dpi_y) {
  ASSERT_EQ(seen.children.size(), static_cast<size_t>(kControls));
  for (int i = 0; i < kControls; ++i) {
    const RECT& r = seen.children[i].rect;
    EXPECT_TRUE(Twips(r.left, kLayout[i][0], dpi_x)) << "left of " << i;
    EXPECT_TRUE(Twips(r.top, kLayout[i][1], dpi_y)) << "top of " << i;
    EXPECT_TRUE(Twips(r.right - r.left, kLayout[i][2], dpi_x)) << "width of " << i;
    EXPECT_TRUE(Twips(r.bottom - r.top, kLayout[i][3], dpi_y)) << "height of " << i;
  }
}

TEST_F(AboutBoxWine, ShowsTheProductInTheLocaleFontAtTheDesignPositions) {
  info.EULAPath = u"C:\\no such folder\\eula.rtf";
  const std::vector<std::u16string> links = {u"http://widget.example/|Widget on the web"};
  for (uint32_t lcid : {1033u, 1041u, 1042u, 1028u, 2052u}) {
    SCOPED_TRACE(lcid);
    UseLocale(lcid);
    const Seen seen = Show(ClickOK, links);
    ASSERT_EQ(seen.children.size(), static_cast<size_t>(kControls));

    // Texts: the library's, "%1" replaced; the labels from ProductInfo.
    EXPECT_EQ(seen.caption, Wide(ReplaceAll(Text(2), u"%1", u"Widget")));
    EXPECT_NE(seen.caption.find(L"Widget"), std::wstring::npos);
    const std::wstring texts[kControls] = {L"Widget 2.5",   L"(c) 2024 Widget Makers", Wide(Text(12)),
                                           Wide(Text(14)), L"Widget on the web",      Wide(Text(44))};
    for (int i = 0; i < kControls; ++i) {
      EXPECT_EQ(seen.children[i].text, texts[i]) << "control " << i;
      EXPECT_TRUE(seen.children[i].visible) << "control " << i;
    }
    if (lcid == 1033) {
      EXPECT_EQ(seen.caption, L"About Widget");
      EXPECT_EQ(seen.children[kOK].text, L"&OK");
    } else {
      EXPECT_NE(seen.children[kViewEULA].text, L"View EULA...") << "not translated";
    }

    // Frame: client area 5700 x 3510, fixed, no minimize or maximize box, a
    // close box, centred on the screen.
    EXPECT_TRUE(Twips(seen.client.right, 5700, dpi_x_));
    EXPECT_TRUE(Twips(seen.client.bottom, 3510, dpi_y_));
    EXPECT_FALSE(seen.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(seen.style & WS_SYSMENU);
    EXPECT_NEAR((seen.window.left + seen.window.right) / 2.0, ::GetSystemMetrics(SM_CXSCREEN) / 2.0, 1);
    EXPECT_NEAR((seen.window.top + seen.window.bottom) / 2.0, ::GetSystemMetrics(SM_CYSCREEN) / 2.0, 1);

    ExpectLayout(seen, dpi_x_, dpi_y_);
    EXPECT_EQ(seen.children[kProductName].window_class, L"Static");
    EXPECT_EQ(seen.children[kOK].window_class, L"Button");

    // Fonts: the locale's face, charset and size everywhere; bold and underline as designed.
    const LocaleFont row = LocaleFontFor(lcid);
    const LONG height = -std::lround(row.size * dpi_y_ / 72.0);
    auto expect_font = [&](const LOGFONTW& f, LONG weight, bool underline, const char* what) {
      EXPECT_EQ(std::wstring(f.lfFaceName), Wide(row.name)) << what;
      EXPECT_EQ(f.lfCharSet, row.charset) << what;
      EXPECT_EQ(f.lfHeight, height) << what;
      EXPECT_EQ(f.lfWeight, weight) << what;
      EXPECT_EQ(f.lfUnderline != 0, underline) << what;
    };
    expect_font(seen.font, 400, false, "form");
    const char* names[kControls] = {"lblProductName", "lblCopyright", "cmdOK", "cmdVisitWebsite", "url1",
                                    "cmdViewEULA"};
    for (int i = 0; i < kControls; ++i)
      expect_font(seen.children[i].font, i == kProductName ? 700 : 400, i == kLink, names[i]);

    // Focus and default button: OK.
    EXPECT_EQ(seen.focus, kOK);
    EXPECT_EQ(HIWORD(seen.default_id), DC_HASDEFID);
    EXPECT_EQ(seen.children[kOK].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  }
}

TEST_F(AboutBoxWine, TheLinkIsPureBlueWithAPointingHand) {
  COLORREF link_color = 0, label_color = 0;
  LRESULT link_cursor = FALSE;
  HCURSOR cursor_after_link = nullptr;
  Show([&](HWND box) {
    const std::vector<HWND> c = Children(box);
    // Ask the box how it colours its labels, on a DC of our own.
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageW(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c[kLink]));
    link_color = ::GetTextColor(dc);
    ::SendMessageW(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c[kCopyright]));
    label_color = ::GetTextColor(dc);
    ::DeleteDC(dc);
    // The pointer over the link, as the box sets it on the box's thread.
    const DWORD box_thread = ::GetWindowThreadProcessId(box, nullptr);
    ::AttachThreadInput(::GetCurrentThreadId(), box_thread, TRUE);
    link_cursor = ::SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(c[kLink]),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    cursor_after_link = ::GetCursor();
    ::AttachThreadInput(::GetCurrentThreadId(), box_thread, FALSE);
    ClickOK(box);
  });
  EXPECT_EQ(link_color, RGB(0, 0, 255));
  EXPECT_EQ(label_color, ::GetSysColor(COLOR_BTNTEXT));
  EXPECT_TRUE(link_cursor);
  // Test programs carry no cursor of their own, so the system's hand stands in.
  EXPECT_EQ(cursor_after_link, ::LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(AboutBoxWine, EnterClosesTheBoxAndEscapeDoesNot) {
  bool open_after_escape = false;
  bool closed_after_enter = false;
  Show([&](HWND box) {
    const std::vector<HWND> c = Children(box);
    const DWORD box_thread = ::GetWindowThreadProcessId(box, nullptr);
    PostKey(c[kOK], VK_ESCAPE);
    // A Tab posted after the Escape: once the focus has moved, the Escape has
    // been handled too.
    PostKey(c[kOK], VK_TAB);
    WaitUntil([&] { return FocusOf(box_thread) == c[kVisitWebsite]; });
    open_after_escape = ::IsWindow(box) && ::IsWindowVisible(box);
    ::SendMessageW(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c[kOK]), TRUE);
    PostKey(c[kOK], VK_RETURN);
    closed_after_enter = WaitUntil([&] { return !::IsWindow(box); });
  });
  EXPECT_TRUE(open_after_escape);
  EXPECT_TRUE(closed_after_enter);
}

TEST_F(AboutBoxWine, EnterOnTheWebsiteButtonPressesThatButtonInstead) {
  MarkerCopy web(L"web by enter.exe");
  ASSERT_TRUE(web.copied());
  info.WebsiteHREF = web.exe_u16();
  bool still_open = false;
  Show([&](HWND box) {
    const std::vector<HWND> c = Children(box);
    ::SendMessageW(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c[kVisitWebsite]), TRUE);
    PostKey(c[kVisitWebsite], VK_RETURN);
    still_open = web.Ran() && ::IsWindowVisible(box);
    ClickOK(box);
  });
  EXPECT_TRUE(still_open) << "the web site was not opened, or the box closed";
}

TEST_F(AboutBoxWine, TheCloseBoxUnloadsTheForm) {
  bool closed = false;
  Show([&](HWND box) {
    ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    closed = WaitUntil([&] { return !::IsWindow(box); });
  });
  EXPECT_TRUE(closed);
}

TEST_F(AboutBoxWine, TheLinkAndBothButtonsReachTheShellAndLeaveTheBoxOpen) {
  MarkerCopy link(L"link target.exe"), web(L"web site.exe"), eula(L"eula document.exe");
  ASSERT_TRUE(link.copied() && web.copied() && eula.copied());
  info.WebsiteHREF = web.exe_u16();
  info.EULAPath = eula.exe_u16();
  const std::vector<std::u16string> links = {link.exe_u16() + u"|Open the link"};
  bool link_ran = false, web_ran = false, eula_ran = false, open_after_all = false;
  std::string link_command, eula_command;
  Show(
      [&](HWND box) {
        const std::vector<HWND> c = Children(box);
        ::SendMessageW(c[kLink], WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
        link_ran = link.Ran(&link_command);
        ::SendMessageW(c[kVisitWebsite], BM_CLICK, 0, 0);
        web_ran = web.Ran();
        ::SendMessageW(c[kViewEULA], BM_CLICK, 0, 0);
        eula_ran = eula.Ran(&eula_command);
        open_after_all = ::IsWindowVisible(box) != FALSE;
        ClickOK(box);
      },
      links);
  EXPECT_TRUE(link_ran);
  EXPECT_TRUE(web_ran);
  EXPECT_TRUE(eula_ran);
  EXPECT_TRUE(open_after_all);
  // No parameters were passed: the command line is the program alone.
  for (const std::string* command : {&link_command, &eula_command}) {
    const size_t exe = command->find(".exe");
    ASSERT_NE(exe, std::string::npos) << *command;
    EXPECT_EQ(command->find_first_not_of("\" ", exe + 4), std::string::npos) << *command;
  }
}

TEST_F(AboutBoxWine, EveryShowingLoadsAfresh) {
  info.EULAPath = u"eula.rtf";
  const Seen first = Show([&](HWND box) {
    // Something the first showing changes on screen must not survive it.
    ::SendMessageW(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Children(box)[kViewEULA]), TRUE);
    ClickOK(box);
  });
  info.ProductName = u"Gadget";
  info.ProductVersion = u"3.0";
  info.Copyright = u"(c) Gadget";
  info.EULAPath = u"";
  const Seen second = Show(ClickOK, {u"http://g|Gadget home"});
  EXPECT_EQ(first.caption, L"About Widget");
  EXPECT_EQ(second.caption, L"About Gadget");
  ASSERT_EQ(second.children.size(), static_cast<size_t>(kControls));
  EXPECT_EQ(second.children[kProductName].text, L"Gadget 3.0");
  EXPECT_EQ(second.children[kCopyright].text, L"(c) Gadget");
  EXPECT_EQ(second.children[kLink].text, L"Gadget home");
  EXPECT_EQ(second.focus, kOK);
  // Without a EULA path the web-site button stands alone in the row.
  EXPECT_FALSE(second.children[kViewEULA].visible);
  EXPECT_TRUE(second.children[kVisitWebsite].visible);
  const RECT& row = second.children[kVisitWebsite].rect;
  EXPECT_TRUE(Twips(row.left, 50, dpi_x_));
  EXPECT_TRUE(Twips(row.top, 3000, dpi_y_));
  EXPECT_LE(forms::PixelsToTwips(row.right - row.left, dpi_x_), 5700 - 100 + 1440.0f / dpi_x_);
}

TEST_F(AboutBoxWine, CtrlCCopiesTheBoxAndItsFactsWhileEscapeStillDoesNothing) {
  const std::vector<std::u16string> links = {u"http://widget.example/|Widget on the web"};
  const std::wstring rule = L"---------------------------\r\n";
  for (uint32_t lcid : {1033u, 1041u}) {
    SCOPED_TRACE(lcid);
    UseLocale(lcid);
    std::wstring copied;
    HWND shown = nullptr, owner = nullptr;
    bool open_after_escape = false;
    Show(
        [&](HWND box) {
          shown = box;
          const std::vector<HWND> c = Children(box);
          EmptyTheClipboard();
          TypeKeys(box, {VK_CONTROL, 'C'});
          WaitUntil([&] { return !(copied = ClipboardText()).empty(); });
          WithClipboard([&] { owner = ::GetClipboardOwner(); });
          // Escape, then Tab: once the focus has moved, the Escape has been handled too.
          TypeKeys(box, {VK_ESCAPE});
          TypeKeys(box, {VK_TAB});
          WaitUntil([&] { return FocusOf(::GetWindowThreadProcessId(box, nullptr)) == c[kVisitWebsite]; });
          open_after_escape = ::IsWindowVisible(box) != FALSE;
          ClickOK(box);
        },
        links);
    const LocaleFont font = LocaleFontFor(lcid);
#ifdef _WIN64
    const std::wstring architecture = L"x64";
#else
    const std::wstring architecture = L"x86";
#endif
    EXPECT_EQ(copied, rule + Wide(ReplaceAll(Text(2), u"%1", u"Widget")) + L"\r\n" + rule +
                          L"Widget 2.5\r\n(c) 2024 Widget Makers\r\nWidget on the web <http://widget.example/>\r\n" +
                          rule + L"File: dialogs_tests.exe\r\nFile version: none\r\nArchitecture: " + architecture +
                          L"\r\nLanguage library: VELKORes" + std::to_wstring(lcid) + L".DLL\r\nUser locale: " +
                          std::to_wstring(lcid) + L"\r\nDialog font: " + Wide(font.name) + L", " +
                          std::to_wstring(font.size) + L" pt\r\nDPI: " + std::to_wstring(dpi_y_) + L"\r\n" + rule);
    EXPECT_EQ(owner, shown) << "the box opens the clipboard as its owner";
    EXPECT_TRUE(open_after_escape);
  }
}

TEST_F(AboutBoxWine, TheButtonsAreThemedCommonControls6OfTheModulesOwnContext) {
  // Like most hosts of an in-process server, the test program has no manifest
  // of its own; it carries the one that VELKO.dll carries, as a resource that
  // only the forms runtime reads.
  ASSERT_EQ(::FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
  UniqueActCtx before, after;
  ::GetCurrentActCtx(before.put());
  std::vector<std::wstring> classes;
  std::vector<bool> themed;
  Show([&](HWND box) {
    for (HWND child : Children(box)) {
      classes.push_back(RegisteredClassOf(child));
      themed.push_back(::GetWindowTheme(child) != nullptr);
    }
    ClickOK(box);
  });
  ::GetCurrentActCtx(after.put());
  HWND own = ::CreateWindowExW(0, L"BUTTON", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  const std::wstring own_class = RegisteredClassOf(own);
  ::DestroyWindow(own);

  EXPECT_EQ(before.get(), nullptr);
  EXPECT_EQ(after.get(), nullptr) << "the box left its context active on the host's thread";
  EXPECT_EQ(own_class, L"Button") << "the host's own controls are not the box's";
  ASSERT_EQ(classes.size(), static_cast<size_t>(kControls));
  for (int i : {kOK, kVisitWebsite, kViewEULA}) {
    // The class of the common controls assembly, version 6.
    EXPECT_TRUE(classes[i].starts_with(L"6.") && classes[i].ends_with(L"!Button")) << i << ": " << classes[i];
    EXPECT_TRUE(themed[i] || !::IsAppThemed()) << i << " is drawn without the theme";
  }
  for (int i : {kProductName, kCopyright, kLink}) EXPECT_EQ(classes[i], L"Static") << "the host's labels";
}

TEST_F(AboutBoxWine, ADpiChangeLaysTheBoxOutAgainAtTheNewDpi) {
  // What a host aware of each monitor's DPI gets when the box moves to a monitor of twice the DPI.
  info.EULAPath = u"eula.rtf";
  const int dpi = dpi_y_ * 2;
  RECT suggested{};
  Seen seen;
  int form_dpi = 0;
  Show([&](HWND box) {
    ::GetWindowRect(box, &suggested);
    ::OffsetRect(&suggested, -suggested.left / 2, -suggested.top / 2);
    suggested.right += suggested.right - suggested.left;
    suggested.bottom += suggested.bottom - suggested.top;
    ::SendMessageW(box, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    seen = Look(box, ::GetWindowThreadProcessId(box, nullptr));
    form_dpi = form_->Dpi();
    ClickOK(box);
  });
  ExpectLayout(seen, dpi, dpi);
  EXPECT_TRUE(::EqualRect(&seen.window, &suggested)) << "the box takes the frame the system suggests";
  const LONG height = -std::lround(8 * dpi / 72.0);  // Tahoma 8 of the English locale
  EXPECT_EQ(seen.font.lfHeight, height);
  for (const Seen::Child& child : seen.children) EXPECT_EQ(child.font.lfHeight, height);
  EXPECT_EQ(form_dpi, dpi) << "the DPI that Ctrl+C reports";
}

}  // namespace
}  // namespace velko
