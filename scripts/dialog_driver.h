// Drives a modal dialog from outside, the way a user or an automation tool
// would: find the window, read what it shows, press its buttons. The demo's and
// the host scripts' about_driver.exe is built on it, and so are the box tests.
// The modal loop blocks the thread that shows the box, so the driving runs on a
// second thread (or in a second process) and talks to the box with messages.
#pragma once

#include <windows.h>

#include <cwchar>

#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace velko::forms::testing {

// One single-threaded apartment for the calling thread while it lives.
struct Apartment {
  Apartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Apartment() { ::CoUninitialize(); }
};

// How many times longer than on a quiet native machine anything may take here:
// the factor of the test entries' time limits, which ctest hands every entry as
// VELKO_TIME_FACTOR (an emulated machine, a loaded one); 1 when unset.
inline DWORD TimeFactor() {
  wchar_t text[8] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"VELKO_TIME_FACTOR", text, 8);
  const long factor = n > 0 && n < 8 ? std::wcstol(text, nullptr, 10) : 1;
  return factor > 1 ? static_cast<DWORD>(factor) : 1;
}

// Polls `done` until it holds or `timeout_ms` times the time factor passes; true
// when it held. Only a bound against hanging: no test asserts on how long
// anything takes.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms = 20000) {
  for (const ULONGLONG end = ::GetTickCount64() + ULONGLONG{timeout_ms} * TimeFactor(); !done(); ::Sleep(10))
    if (::GetTickCount64() > end) return false;
  return true;
}

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

inline bool IsShownDialog(HWND window) { return ClassOf(window) == L"#32770" && ::IsWindowVisible(window); }

inline BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM found) {
  if (!IsShownDialog(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Runs `show` here, which shows a modal dialog, and `script` on a second thread
// once the dialog is visible. A dialog still up when the script ends is closed
// through its frame, so a failing script cannot leave the test hanging.
// Returns false when no dialog appeared.
inline bool WhileShown(const std::function<void()>& show, const std::function<void(HWND)>& script) {
  const DWORD thread_id = ::GetCurrentThreadId();
  bool appeared = false;
  std::jthread driver([&] {  // joined also when `show` throws
    HWND dialog = nullptr;
    WaitUntil([&] {
      ::EnumThreadWindows(thread_id, TakeVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
      return dialog != nullptr;
    });
    if (!(appeared = dialog != nullptr)) return;
    script(dialog);
    WaitUntil([&] { return !::IsWindow(dialog) || (::PostMessageW(dialog, WM_CLOSE, 0, 0), false); });
  });
  show();
  driver.join();  // before `appeared` is read: the driver may still be looking
  return appeared;
}

inline std::wstring Text(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW: the latter does not ask windows of
  // another process.
  wchar_t text[512];
  return std::wstring(text, ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text)));
}

// The child windows of `dialog` in z order, which is the order of creation.
inline std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  for (HWND w = ::GetWindow(dialog, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) children.push_back(w);
  return children;
}

// `window`'s rectangle in the client coordinates of its parent.
inline RECT RectInParent(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The font that `window` reports (WM_GETFONT), as its LOGFONT; all zero when none.
inline LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  if (auto handle = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)))
    ::GetObjectW(handle, sizeof font, &font);
  return font;
}

// The window that has the keyboard focus in thread `thread_id`.
inline HWND FocusOf(DWORD thread_id) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(thread_id, &info) ? info.hwndFocus : nullptr;
}

// Keys typed on the keyboard into `window`, once it is in the foreground (Wine
// may lose keys pressed while the foreground settles): each pressed in the
// order given and released in reverse (so {VK_CONTROL, 'C'} is Ctrl+C), through
// the system's input queue like a user's.
inline void TypeKeys(HWND window, std::initializer_list<WORD> keys) {
  WaitUntil([&] { return ::SetForegroundWindow(window), ::GetForegroundWindow() == window; }, 5000);
  for (WORD key : keys) ::keybd_event(static_cast<BYTE>(key), 0, 0, 0);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
    ::keybd_event(static_cast<BYTE>(*key), 0, KEYEVENTF_KEYUP, 0);
}

// Tab from where the focus is, once it has moved; the window that has it then.
inline HWND Tab(HWND box) {
  const DWORD thread = ::GetWindowThreadProcessId(box, nullptr);
  const HWND from = FocusOf(thread);
  TypeKeys(box, {VK_TAB});
  WaitUntil([&] { return FocusOf(thread) != from; });
  return FocusOf(thread);
}

// The clipboard's CF_UNICODETEXT, taken: read, then the clipboard emptied; ""
// when it holds none. Retried while another program has the clipboard open.
inline std::wstring TakeClipboardText() {
  std::wstring text;
  WaitUntil([&] {
    ScopedClipboard clipboard(nullptr);
    if (!clipboard.is_open()) return false;
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (const auto* chars = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr) {
      text = chars;
      ::GlobalUnlock(data);
    }
    return ::EmptyClipboard() != FALSE;
  }, 2000);
  return text;
}

// Ctrl+C pressed in `box`, and the text it copied, taken from the clipboard
// (empty when it copied nothing). Only a change of the
// clipboard tells that the box copied: what it held before may be the same
// kind of text. Wine may lose keys pressed while the foreground settles: they
// are pressed again then. The keys are let go before it returns.
inline std::wstring CopyWithCtrlC(HWND box) {
  TakeClipboardText();
  const DWORD before = ::GetClipboardSequenceNumber();
  std::wstring text;
  for (int attempt = 0; attempt < 4 && text.empty(); ++attempt) {
    if (attempt) ::keybd_event('C', 0, KEYEVENTF_KEYUP, 0), ::keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    WaitUntil([&] { return ::SetForegroundWindow(box), ::GetForegroundWindow() == box; }, 5000);
    ::keybd_event(VK_CONTROL, 0, 0, 0), ::keybd_event('C', 0, 0, 0);
    WaitUntil([&] { return ::GetClipboardSequenceNumber() != before && !(text = TakeClipboardText()).empty(); }, 5000);
  }
  ::keybd_event('C', 0, KEYEVENTF_KEYUP, 0), ::keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
  return text;
}

}  // namespace velko::forms::testing
