// What reaches the shell, watched through the seam and not passed on (so
// nothing starts): where the About box's link and buttons go, in the ANSI code
// page; without the seam, what the shell answers. The box is shown in this
// process. The link opens its address with the address's own default action
// and no owner, on a double-click, on assistive technology's default action and
// on Space; the buttons open theirs with "open", the box as owner; none of them
// closes the box. A screen reader reads the link as a link.
#include "dialogs/shell_open.h"

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "dialogs/about_box.h"
#include "platform/win32/seams.h"
#include "platform/win32/unique_handle.h"
#include "scripts/dialog_driver.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary

// What a screen reader reads of the link's state once it has the focus.
constexpr long kLinkStates = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;

// One "<owner> <verb> <file> <parameters> <directory> <show>" per call, the
// owner as "box", "none" or "other"; written on the box's thread, read on the
// driver's once `g_calls` counts it. Each call returns 40 more than the calls before it.
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

HMODULE WINAPI NoLibrary(LPCWSTR, HANDLE, DWORD) { return ::SetLastError(ERROR_MOD_NOT_FOUND), nullptr; }

// (What the shell answers otherwise is the shell's: comparing with it would restate the call.)
TEST(ShellOpen, WithoutShell32FailsWithDllNotFound) {
  testing::SeamSwap fail(seams::LoadLibraryExW, &NoLibrary);
  EXPECT_EQ(ShellOpen(nullptr, u"C:\\x.velko", u"", u"", 1), SE_ERR_DLLNOTFOUND) << "without shell32";
}

TEST(AboutBox, TheLinkOpensItsAddressByItsOwnDefaultActionAndTheButtonsOpenTheirsWithTheBoxAsOwner) {
  testing::SeamSwap watch(seams::ShellExecuteA, &Record);
  Apartment apartment;
  ProductInfo info;
  info.WebsiteHREF = u"http://web.example/", info.EULAPath = u"C:\\\u00e9ula.rtf", info.Copyright = u"(c) W";
  const LangSupport no_library;
  AboutBoxForm form(info, no_library);
  const std::vector<std::u16string> links = {u"http://link.example/|Link & more"};
  std::vector<std::string> opened;
  const int before = g_calls;
  EXPECT_TRUE(WhileShown([&] { ShowAboutBox(form, &links); }, [&](HWND box) {
    g_box = box;
    const std::vector<HWND> c = Children(box);
    ASSERT_EQ(c.size(), 6u);
    const auto next = [&] {
      const int calls = before + static_cast<int>(opened.size()) + 1;
      EXPECT_TRUE(WaitUntil([&] { return g_calls == calls; }, 5000)) << "call " << calls - before;
      opened.push_back(g_opened[(calls - 1) % 8]);
    };
    // Pure blue, but the theme's colour for links in high contrast (which Wine cannot turn on).
    const HDC dc = ::CreateCompatibleDC(nullptr);
    std::vector<COLORREF> colours;
    for (const auto system_parameters : {seams::SystemParametersInfoW, &HighContrast}) {
      testing::SeamSwap contrast(seams::SystemParametersInfoW, system_parameters);
      ::SendMessageW(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c[4]));
      colours.push_back(::GetTextColor(dc));
    }
    ::DeleteDC(dc);
    EXPECT_EQ(colours, (std::vector<COLORREF>{RGB(0, 0, 255), ::GetSysColor(COLOR_HOTLIGHT)}));
    ::SendMessageW(c[4], WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    next();
    Apartment reader;
    ComPtr<IAccessible> link, copyright;
    VARIANT self{}, role{}, state{};
    self.vt = VT_I4;  // CHILDID_SELF
    ASSERT_EQ(::AccessibleObjectFromWindow(c[4], OBJID_CLIENT, __uuidof(IAccessible), link.put_void()), S_OK);
    ASSERT_EQ(::AccessibleObjectFromWindow(c[1], OBJID_CLIENT, __uuidof(IAccessible), copyright.put_void()), S_OK);
    // Named by its text ("&" is text, not an access key) with its address as value; the others keep the system's objects.
    UniqueBstr name, value, other, action;
    link->get_accName(self, name.put()), link->get_accValue(self, value.put()), copyright->get_accName(self, other.put());
    link->get_accDefaultAction(self, action.put());
    link->get_accRole(self, &role), link->get_accState(self, &state);
    const auto str = [](const UniqueBstr& b) { return std::wstring(b.get() ? b.get() : L""); };
    // A library without text 45 (here none at all) keeps the design's action.
    EXPECT_EQ(str(name) + L"|" + str(value) + L"|" + str(other) + L"|" + str(action),
              L"Link & more|http://link.example/|(c) W|Open link");
    EXPECT_EQ(std::pair(role.lVal, state.lVal & kLinkStates),
              std::pair(long{ROLE_SYSTEM_LINK}, kLinkStates & ~STATE_SYSTEM_FOCUSED));
    EXPECT_EQ(link->accDoDefaultAction(self), S_OK);
    next();
    EXPECT_EQ((std::vector<HWND>{Tab(box), Tab(box)}), (std::vector<HWND>{c[3], c[4]})) << "from OK";
    EXPECT_EQ(link->get_accState(self, &state) == S_OK ? state.lVal & kLinkStates : 0, kLinkStates) << "focused";
    TypeKeys(box, {VK_SPACE});
    next();
    for (const HWND button : {c[3], c[5]}) ::SendMessageW(button, BM_CLICK, 0, 0), next();
    EXPECT_TRUE(::IsWindowVisible(box)) << "closed by the link or a button";
  }));
  const std::string link = "none null \"http://link.example/\" null null 1";
  EXPECT_EQ(opened, (std::vector<std::string>{link, link, link, "box \"open\" \"http://web.example/\" null null 1",
                                              "box \"open\" \"C:\\\xe9ula.rtf\" null null 1"}));
}

}  // namespace
}  // namespace velko
