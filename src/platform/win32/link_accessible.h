// The accessible object of a link label: what screen readers and other
// assistive technology (MSAA clients, and UI Automation clients through the
// system's bridge) meet in place of the standard object of a static control.
//
// It wraps the system's standard object of the label's client area, so that
// location, parent, navigation, hit-testing and children stay the system's.
// While the label shows a link, it is a link: role ROLE_SYSTEM_LINK, name the
// shown text, value the address, state linked and focusable (and focused when
// it has the focus), default action "Open link", which does what a
// double-click does. While it shows none, every answer is the standard one.
//
// The object keeps only the label's window. It asks the window for the facts
// with LinkLabelMessage, so the label is read on its own thread whatever thread
// the client calls on, and a window that is gone answers nothing.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "platform/win32/unique_handle.h"

namespace velko::forms {

// The requests of LinkLabelMessage, in its wParam.
enum LinkRequest : WPARAM {
  // Returns kShowsLink and kHasFocus bits.
  kLinkState = 1,
  // lParam: a std::u16string* that gets the name or the address; returns 1
  // when it did. Pointers of this process only: the system keeps messages
  // above WM_USER away from processes of lower integrity.
  kLinkName,
  kLinkAddress,
  // Opens the link as a double-click would; posted, so the client does not wait for the shell.
  kLinkActivate,
};
inline constexpr LRESULT kShowsLink = 1;
inline constexpr LRESULT kHasFocus = 2;

// The message a link label's window answers for its accessible object.
UINT LinkLabelMessage();

// A new accessible object for the client area of `label` that wraps
// `standard`, the system's standard object of that client area.
ComPtr<IAccessible> MakeLinkAccessible(HWND label, ComPtr<IAccessible> standard);

}  // namespace velko::forms
