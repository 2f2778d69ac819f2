#include "platform/win32/key_preview.h"

#include "platform/error.h"
#include "platform/win32/form_event.h"
#include "platform/win32/forms.h"

namespace velko::forms::detail {
namespace {

LRESULT FilterKey(int code, WPARAM wparam, LPARAM lparam) {
  // IsDialogMessage passes every message here first (MSGF_DIALOGBOX).
  const MSG& msg = *reinterpret_cast<const MSG*>(lparam);
  if (code == MSGF_DIALOGBOX && msg.message == WM_KEYDOWN)
    if (auto* form = static_cast<Form*>(::GetPropW(::GetAncestor(msg.hwnd, GA_ROOT), kFormProperty))) {
      const int shift = (::GetKeyState(VK_SHIFT) < 0 ? kShiftMask : 0) |
                        (::GetKeyState(VK_CONTROL) < 0 ? kCtrlMask : 0) | (::GetKeyState(VK_MENU) < 0 ? kAltMask : 0);
      bool taken = true;  // by a handler that fails
      Raise([&] { taken = form->KeyDown(static_cast<int>(msg.wParam), shift); });
      if (taken) return TRUE;  // the control with the focus does not get the key
    }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

LRESULT CALLBACK KeyboardFilter(int code, WPARAM wparam, LPARAM lparam) {
  return Boundary([&] { return FilterKey(code, wparam, lparam); }, [] { return LRESULT{0}; });
}

}  // namespace velko::forms::detail
