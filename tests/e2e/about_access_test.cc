// What a screen reader, a keyboard user and an object browser get from a C++
// host of VELKO.dll: the real About box read through its accessible objects and
// driven with keys from a second thread, and the help strings of the embedded
// type library. Run in the English locale (the test's environment sets it).
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include "tests/com/com_host.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/shell_marker.h"

namespace velko::testing {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary

enum Index { kProductName, kCopyright, kOK, kVisitWebsite, kLink, kViewEULA, kControls };
constexpr long kLinkStates = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;

// The object itself, CHILDID_SELF (0), not one of its children.
VARIANT Self() { VARIANT self{}; self.vt = VT_I4; return self; }  // NOLINT: one line

// What assistive technology reads of `window`'s client area through its
// accessible object; 0 and "" where it reads nothing.
struct Reading {
  ComPtr<IAccessible> object;
  long role = 0, state = 0;
  std::wstring name, value, action;
};
Reading Read(HWND window) {
  Reading r;
  EXPECT_EQ(::AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), r.object.put_void()), S_OK);
  const ComPtr<IAccessible>& object = r.object;
  if (!object) return r;
  VARIANT v{};
  if (object->get_accRole(Self(), &v) == S_OK && v.vt == VT_I4) r.role = v.lVal;
  if (object->get_accState(Self(), &v) == S_OK && v.vt == VT_I4) r.state = v.lVal;
  UniqueBstr s[3];
  if (object->get_accName(Self(), s[0].put()) == S_OK && s[0]) r.name = s[0].get();
  if (object->get_accValue(Self(), s[1].put()) == S_OK && s[1]) r.value = s[1].get();
  if (object->get_accDefaultAction(Self(), s[2].put()) == S_OK && s[2]) r.action = s[2].get();
  return r;
}

// Tab from where the focus is, once it has moved; the window that has it then.
HWND Tab(HWND box) {
  const DWORD thread = ::GetWindowThreadProcessId(box, nullptr);
  const HWND from = FocusOf(thread);
  TypeKeys(box, {VK_TAB});
  WaitUntil([&] { return FocusOf(thread) != from; }, 5000);
  return FocusOf(thread);
}

// Shows the box of a product with a EULA path and the link `href` shown as
// `text`, and runs `script` on it from a second thread in an apartment of its own.
void Show(const std::u16string& href, const std::u16string& text,
          const std::function<void(HWND, std::vector<HWND>)>& script) {
  Apartment host_apartment;
  auto o = Create();
  o->put_EULAPath(MakeBstr(u"C:\\eula.rtf").get());
  o->put_Copyright(MakeBstr(u"(c) Widget Makers").get());
  o->AddURL(MakeBstr(href).get(), MakeBstr(text).get());
  VARIANT_BOOL result;
  EXPECT_TRUE(WhileShown([&] { o->ShowAboutBox(&result); }, [&](HWND box) {
    Apartment driver_apartment;
    ASSERT_EQ(Children(box).size(), static_cast<size_t>(kControls));
    script(box, Children(box));
  }));
}

TEST(AboutAccess, TheBoxReadsAsItShowsAndItsLinkOpensByTheDefaultAction) {
  MarkerCopy link(L"read link.exe");
  Show(link.exe_u16(), u"Widget & friends", [&](HWND box, std::vector<HWND> c) {
    const Reading url = Read(c[kLink]);
    EXPECT_EQ(url.role, ROLE_SYSTEM_LINK);
    EXPECT_EQ(url.name, L"Widget & friends");  // the link's "&" is text, not an access key
    EXPECT_EQ(url.value, link.exe());
    EXPECT_EQ(url.action, L"Open link");
    EXPECT_EQ(url.state & kLinkStates, STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE) << std::hex << url.state;
    // The others keep the system's objects, named by what they show less the access-key mark.
    EXPECT_EQ(Read(c[kOK]).name, L"OK") << "shown as " << Text(c[kOK]);
    EXPECT_EQ(Read(c[kCopyright]).name, Text(c[kCopyright]));
    EXPECT_EQ(url.object->accDoDefaultAction(Self()), S_OK);
    EXPECT_TRUE(link.Ran() && ::IsWindowVisible(box));
  });
}

TEST(AboutAccess, TheSecondTabReachesTheLinkWhereSpaceOpensItEscapeDoesNothingAndEnterPressesOK) {
  MarkerCopy link(L"tabbed link.exe");
  Show(link.exe_u16(), u"Widget on the web", [&](HWND box, std::vector<HWND> c) {
    EXPECT_EQ(Tab(box), c[kVisitWebsite]);
    ASSERT_EQ(Tab(box), c[kLink]);
    EXPECT_EQ(Read(c[kLink]).state & kLinkStates, kLinkStates);
    TypeKeys(box, {VK_ESCAPE});
    TypeKeys(box, {VK_SPACE});
    EXPECT_TRUE(link.Ran() && ::IsWindowVisible(box)) << "not opened by Space, or closed by Escape or Space";
    TypeKeys(box, {VK_RETURN});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 5000)) << "Enter on the link did not press OK";
  });
}

TEST(AboutAccess, WithoutALinkTheLabelIsNeitherATabStopNorALink) {
  // An address with an empty text sets the tag but shows no link.
  Show(u"http://widget.example/", u"", [&](HWND box, std::vector<HWND> c) {
    const std::vector<HWND> stops = {Tab(box), Tab(box), Tab(box)};
    EXPECT_EQ(stops, (std::vector<HWND>{c[kVisitWebsite], c[kViewEULA], c[kOK]}));
    const Reading url = Read(c[kLink]);
    EXPECT_NE(url.role, ROLE_SYSTEM_LINK);
    EXPECT_EQ(url.state & STATE_SYSTEM_LINKED, 0);
    EXPECT_EQ(url.value + url.action, L"");
  });
}

TEST(AboutAccess, ObjectBrowsersShowAOneLineHelpStringForEveryMemberTheInterfaceAndTheClass) {
  ComPtr<ITypeLib> library;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, library.put()), S_OK);
  auto help = [&](const GUID& type, MEMBERID member = MEMBERID_NIL) {
    ComPtr<ITypeInfo> info;
    UniqueBstr text;
    if (SUCCEEDED(library->GetTypeInfoOfGuid(type, info.put())))
      info->GetDocumentation(member, nullptr, text.put(), nullptr, nullptr);
    const std::wstring doc = text ? text.get() : L"";
    EXPECT_TRUE(!doc.empty() && doc.find_first_of(L"\r\n") == std::wstring::npos) << member << ": " << doc;
    return doc;
  };
  EXPECT_NE(help(CLSID_CProductInfo).find(L"resets the thread's product information"), std::wstring::npos);
  help(IID__CProductInfo);
  // Members by dispatch identifier, with what their help must tell.
  const std::pair<MEMBERID, const wchar_t*> facts[] = {
      {1, L"name"},    {2, L"version"}, {3, L"copyright"}, {4, L"web-site"}, {5, L"icon"},  {6, L"company's name"},
      {7, L"address"}, {8, L"link"},    {9, L"links"},     {10, L"EULA"},    {11, L"returns False in every case"}};
  for (const auto& [id, fact] : facts) EXPECT_NE(help(IID__CProductInfo, id).find(fact), std::wstring::npos) << id;
}

}  // namespace
}  // namespace velko::testing
