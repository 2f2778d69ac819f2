// When the first top-level window of the calling thread is shown: a call-window
// hook (WH_CALLWNDPROCRET) takes the time and closes that window, so that a bench
// can time "until the window is visible" for the box and for its yardstick alike.
#pragma once

#include <windows.h>

namespace velko::bench {

inline LARGE_INTEGER g_shown_at;
inline bool g_shown = false;

inline LRESULT CALLBACK WatchTopLevelWindows(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && !g_shown) {
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (m->message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(m->lParam)->flags & SWP_SHOWWINDOW) &&
        !(::GetWindowLongW(m->hwnd, GWL_STYLE) & WS_CHILD)) {
      ::QueryPerformanceCounter(&g_shown_at);
      g_shown = true;
      ::PostMessageW(m->hwnd, WM_CLOSE, 0, 0);
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace velko::bench
