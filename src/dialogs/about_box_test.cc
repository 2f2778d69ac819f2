// The About box shown in this process, driven from a second thread: how its
// link shows and reads, and what reaches the shell, watched through the seam
// and not passed on (so nothing starts).
#include "dialogs/about_box.h"

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/win32/seams.h"
#include "platform/win32/unique_handle.h"
#include "scripts/dialog_driver.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary

enum Index { kCopyright = 1, kOK, kVisitWebsite, kLink, kViewEULA };
// What a screen reader reads of the link's state once it has the focus.
constexpr long kLinkStates = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;

// One "<owner> <verb> <file> <parameters> <directory> <show>" per call, the
// owner as "box", "none" or "other"; written on the box's thread, read on the
// driver's once `g_calls` counts it.
HWND g_box = nullptr;
std::string g_opened[8];
std::atomic<int> g_calls{0};
std::string Arg(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
HINSTANCE WINAPI Record(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  g_opened[g_calls % 8] = std::string(owner == g_box ? "box" : owner ? "other" : "none") + " " + Arg(verb) + " " +
                          Arg(file) + " " + Arg(parameters) + " " + Arg(directory) + " " + std::to_string(show);
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(40 + g_calls++));
}

BOOL WINAPI HighContrast(UINT action, UINT size, void* value, UINT flags) {
  if (action == SPI_GETHIGHCONTRAST) return static_cast<HIGHCONTRASTW*>(value)->dwFlags = HCF_HIGHCONTRASTON, TRUE;
  return ::SystemParametersInfoW(action, size, value, flags);
}

class AboutBox : public ::testing::Test {
 protected:
  // Shows a box with a link, a web site and a EULA path, without a language
  // library, and runs `script` on it from a second thread; the link's
  // accessible object as a screen reader in this process gets it.
  void Show(const std::function<void(HWND, const std::vector<HWND>&, IAccessible*)>& script) {
    testing::SeamSwap watch(seams::ShellExecuteA, &Record);
    ProductInfo info;
    info.WebsiteHREF = u"http://web.example/", info.EULAPath = u"C:\\eula.rtf", info.Copyright = u"(c) W";
    const LangSupport no_library;
    AboutBoxForm form(info, no_library);
    const std::vector<std::u16string> links = {u"http://link.example/|Link & more"};
    EXPECT_TRUE(WhileShown([&] { ShowAboutBox(form, &links); }, [&](HWND box) {
      g_box = box;
      const std::vector<HWND> c = Children(box);
      ASSERT_EQ(c.size(), 6u);
      Apartment reader;
      ComPtr<IAccessible> link;
      ASSERT_EQ(::AccessibleObjectFromWindow(c[kLink], OBJID_CLIENT, __uuidof(IAccessible), link.put_void()), S_OK);
      script(box, c, link.get());
    }));
  }
  Apartment apartment_;
  const VARIANT self_ = [] { VARIANT v{}; return v.vt = VT_I4, v; }();  // CHILDID_SELF
};

// Pure blue, but the theme's colour for links in high contrast (which Wine
// cannot turn on). A screen reader meets a link named by its text ("&" is text,
// not an access key) with its address as value; the other labels keep the
// system's objects. A library without text 45 (here none at all) keeps the
// design's default action.
TEST_F(AboutBox, TheLinkLooksLikeALinkToTheEyeAsToAScreenReader) {
  Show([&](HWND box, const std::vector<HWND>& c, IAccessible* link) {
    const HDC dc = ::CreateCompatibleDC(nullptr);
    std::vector<COLORREF> colours;
    for (const auto system_parameters : {seams::SystemParametersInfoW, &HighContrast}) {
      testing::SeamSwap contrast(seams::SystemParametersInfoW, system_parameters);
      ::SendMessageW(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c[kLink]));
      colours.push_back(::GetTextColor(dc));
    }
    ::DeleteDC(dc);
    EXPECT_EQ(colours, (std::vector<COLORREF>{RGB(0, 0, 255), ::GetSysColor(COLOR_HOTLIGHT)}));
    ComPtr<IAccessible> copyright;
    ASSERT_EQ(::AccessibleObjectFromWindow(c[kCopyright], OBJID_CLIENT, __uuidof(IAccessible), copyright.put_void()),
              S_OK);
    UniqueBstr name, value, other, action;
    VARIANT role{}, state{};
    link->get_accName(self_, name.put()), link->get_accValue(self_, value.put());
    link->get_accDefaultAction(self_, action.put()), copyright->get_accName(self_, other.put());
    link->get_accRole(self_, &role), link->get_accState(self_, &state);
    const auto str = [](const UniqueBstr& b) { return std::wstring(b.get() ? b.get() : L""); };
    EXPECT_EQ((std::vector<std::wstring>{str(name), str(value), str(other), str(action)}),
              (std::vector<std::wstring>{L"Link & more", L"http://link.example/", L"(c) W", L"Open link"}));
    EXPECT_EQ(std::pair(role.lVal, state.lVal & kLinkStates),
              std::pair(long{ROLE_SYSTEM_LINK}, kLinkStates & ~STATE_SYSTEM_FOCUSED));
    Tab(box), Tab(box);
    EXPECT_EQ(link->get_accState(self_, &state) == S_OK ? state.lVal & kLinkStates : 0, kLinkStates) << "focused";
  });
}

// The link opens its address with the address's own default action and no
// owner, on a double-click, on assistive technology's default action and on
// Space; the buttons open theirs with "open", the box as owner. None of them
// closes the box.
TEST_F(AboutBox, EachOpeningIsOneShellCallAsItsTargetWantsIt) {
  std::vector<std::string> opened;
  const int before = g_calls;
  Show([&](HWND box, const std::vector<HWND>& c, IAccessible* link) {
    const auto next = [&] {
      const int calls = before + static_cast<int>(opened.size()) + 1;
      EXPECT_TRUE(WaitUntil([&] { return g_calls == calls; }, 5000)) << "call " << calls - before;
      opened.push_back(g_opened[(calls - 1) % 8]);
    };
    ::SendMessageW(c[kLink], WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    next();
    EXPECT_EQ(link->accDoDefaultAction(self_), S_OK);
    next();
    EXPECT_EQ((std::vector<HWND>{Tab(box), Tab(box)}), (std::vector<HWND>{c[kVisitWebsite], c[kLink]})) << "from OK";
    TypeKeys(box, {VK_SPACE});
    next();
    for (const HWND button : {c[kVisitWebsite], c[kViewEULA]}) ::SendMessageW(button, BM_CLICK, 0, 0), next();
    EXPECT_TRUE(::IsWindowVisible(box)) << "closed by the link or a button";
  });
  const std::string link = "none null \"http://link.example/\" null null 1";
  EXPECT_EQ(opened, (std::vector<std::string>{link, link, link, "box \"open\" \"http://web.example/\" null null 1",
                                              "box \"open\" \"C:\\eula.rtf\" null null 1"}));
}

}  // namespace
}  // namespace velko
