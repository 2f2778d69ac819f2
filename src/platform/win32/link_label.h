// Inside the forms layer only: a label that is a link. It is the system's
// static control, subclassed: a static never takes the focus and a screen
// reader meets it as plain text, while a link must be a tab stop, show the
// focus, open on Space and be a link to a screen reader.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "platform/win32/forms.h"
#include "platform/win32/unique_handle.h"

namespace velko::forms::detail {

// What the window of a link label keeps beside the system's static control.
// While `control` shows a link, the window raises its on_dbl_click for Space and
// for assistive technology's default action, draws the focus rectangle round
// its text, and answers assistive technology with a link's accessible object
// (link_accessible.h), made at the first request and kept, which holds
// `module_use` (may be null).
class LinkLabel {
 public:
  LinkLabel(Control& control, IUnknown* module_use) : control_(control), module_use_(module_use) {}
  LinkLabel(const LinkLabel&) = delete;
  LinkLabel& operator=(const LinkLabel&) = delete;

  // Makes `window`, the static control of `control`, this link label, until the
  // window is gone; this must outlive it. Throws the system's error.
  void Attach(HWND window);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  Control& control_;
  IUnknown* module_use_;
  WNDPROC static_proc_ = nullptr;
  // Cut off from its clients when the window goes.
  ComPtr<IAccessible> accessible_;
};

// The colour of a link's text: pure blue, or the theme's colour for links while
// a high-contrast theme is on.
COLORREF LinkColor();

}  // namespace velko::forms::detail
