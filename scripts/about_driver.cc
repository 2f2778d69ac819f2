// about_driver.exe: finds the About box that another process shows and plays
// its user, for the end-to-end tests and the demo.
//
//   about_driver wait    waits for the box and has it painted; prints "x y width
//                        height" of its window (screen pixels), then its caption
//   about_driver copy    types Ctrl+C into the box and prints what the clipboard
//                        then holds
//   about_driver close   prints what the box shows ("caption: ...", "layout:
//                        <direction>, cmdOK <pixels from the edge the box starts
//                        at> px in", then one "<control>: <text>" line per control, " (hidden)" after a
//                        hidden one, and with "action" after it, "url1 action:
//                        <the link's default action as a screen reader reads
//                        it>"), presses OK and waits for the box to go
//
// Exit code 0 when the box was found (and, for copy, the clipboard got a text;
// for close, the box went away on OK), else 1. A box that stays after OK has
// its process ended, so that its host does not wait on it. Every wait is
// bounded, and scaled by VELKO_TIME_FACTOR.
// Texts go out as UTF-8; the caller compares them, since arguments in another
// script than the locale's would not survive the trip into this program.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "scripts/dialog_driver.h"
#include "platform/win32/unique_handle.h"

namespace {

using namespace velko::forms::testing;  // NOLINT: the driver's vocabulary

std::string Utf8(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The About box: a visible dialog whose children are, in order, two labels, two
// buttons, the link label and the EULA button.
bool IsAboutBox(HWND window) {
  if (!IsShownDialog(window)) return false;
  const std::vector<HWND> children = Children(window);
  const wchar_t* expected[] = {L"Static", L"Static", L"Button", L"Button", L"Static", L"Button"};
  if (children.size() != std::size(expected)) return false;
  for (size_t i = 0; i < children.size(); ++i)
    if (ClassOf(children[i]) != expected[i]) return false;
  return true;
}

BOOL CALLBACK TakeAboutBox(HWND window, LPARAM found) {
  if (!IsAboutBox(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindAboutBox() {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        ::EnumWindows(TakeAboutBox, reinterpret_cast<LPARAM>(&found));
        return found != nullptr;
      },
      60000);
  return found;
}

int Wait(HWND box) {
  // Painted now, so that a screenshot taken next shows every control.
  ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r;
  ::GetWindowRect(box, &r);
  std::printf("%ld %ld %ld %ld\n%s\n", r.left, r.top, r.right - r.left, r.bottom - r.top, Utf8(Text(box)).c_str());
  return 0;
}

// Ends the process that shows `box`, so that a host whose box a failing check
// could not close does not wait for it until the test's time limit.
void EndHost(HWND box) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(box, &pid);
  if (velko::UniqueHandle host{::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)}) {
    ::TerminateProcess(host.get(), 1);
    ::WaitForSingleObject(host.get(), 10000 * TimeFactor());
  }
}

// The command's argument, if any.
std::wstring g_argument;

const char* const kNames[] = {"lblProductName", "lblCopyright", "cmdOK", "cmdVisitWebsite", "url1", "cmdViewEULA"};

int Copy(HWND box) {
  const std::wstring text = CopyWithCtrlC(box);
  std::printf("%s", Utf8(text).c_str());
  return text.empty() ? 1 : 0;
}

int Close(HWND box) {
  const std::vector<HWND> c = Children(box);
  const std::wstring caption = Text(box);
  std::printf("caption: %s\n", Utf8(caption).c_str());
  // Which way the box reads, and how far OK stands from the edge it starts at.
  const bool rtl = ::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
  RECT client, ok;
  ::GetClientRect(box, &client);
  ::MapWindowPoints(box, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);  // mirrored: left > right
  ::GetWindowRect(c[2], &ok);
  std::printf("layout: %s, cmdOK %ld px in\n", rtl ? "right-to-left" : "left-to-right",
              rtl ? std::max(client.left, client.right) - ok.right : ok.left - client.left);
  for (size_t i = 0; i < c.size(); ++i)
    std::printf("%s: %s%s\n", kNames[i], Utf8(Text(c[i])).c_str(), ::IsWindowVisible(c[i]) ? "" : " (hidden)");
  // Through MSAA from this process, as a screen reader asks.
  if (g_argument == L"action") {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    velko::ComPtr<IAccessible> link;
    velko::UniqueBstr action;
    VARIANT self;
    self.vt = VT_I4, self.lVal = CHILDID_SELF;
    if (::AccessibleObjectFromWindow(c[4], OBJID_CLIENT, __uuidof(IAccessible), link.put_void()) == S_OK)
      link->get_accDefaultAction(self, action.put());
    std::printf("url1 action: %s\n", Utf8(action.get() ? action.get() : L"(none)").c_str());
    link = nullptr;
    ::CoUninitialize();
  }

  std::fflush(stdout);
  ::SendMessageW(c[2], BM_CLICK, 0, 0);
  if (WaitUntil([&] { return !::IsWindow(box); })) return 0;
  std::printf("the box did not close on OK\n");
  EndHost(box);
  return 1;
}


}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (argc > 2) g_argument = argv[2];
  int (*const run)(HWND) = command == L"wait"     ? Wait
                           : command == L"copy"   ? Copy
                           : command == L"close"  ? Close
                                                  : nullptr;
  if (!run) {
    std::fprintf(stderr, "usage: about_driver wait | copy | close [action]\n");
    return 2;
  }
  HWND box = FindAboutBox();
  if (!box) {
    std::fprintf(stderr, "about_driver: no About box appeared\n");
    return 1;
  }
  return run(box);
}
