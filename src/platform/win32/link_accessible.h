// The accessible object of a link label: what screen readers and other
// assistive technology (MSAA clients, and UI Automation clients through the
// system's bridge) meet in place of the standard object of a static control.
//
// It wraps the system's standard object of the label's client area, so that
// location, parent, navigation, hit-testing and children stay the system's.
// While the label shows a link, it is a link: role ROLE_SYSTEM_LINK, name the
// shown text, value the address, state linked and focusable (and focused when
// it has the focus), default action named as the label's, which does what a
// double-click does. While it shows none, every answer is the standard one.
//
// The object takes what it says of the link from the label when it is made,
// as plain values: nothing a client asks goes back to the window through a
// message that carries a pointer, which any process on the desktop could send.
// The label is not changed while its box is shown. The object lives as long as
// its clients hold it and keeps VELKO.dll in use meanwhile; once the label's
// window is gone (LinkAccessibleDisconnect), every call but AddRef, Release and
// QueryInterface fails with CO_E_OBJNOTCONNECTED.
//
// Used on the label's thread: LresultFromObject marshals it, so clients of
// other apartments and processes call through proxies that run there.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace velko::forms {

// What the label shows: the link's name (its text as read aloud), its address
// and the name of its default action.
struct LinkFacts {
  std::u16string name;
  std::u16string address;
  std::u16string default_action;
};

// The message, without arguments, that the label's window takes to open its
// link as a double-click would. Posted by the default action, so that the
// client does not wait for the shell.
UINT LinkActivateMessage();

// A new accessible object for the client area of `label`, which shows the link
// `facts`, wrapping `standard`, the system's standard object of that client area.
// It holds a reference to `module_use` (may be null) while it lives.
ComPtr<IAccessible> MakeLinkAccessible(HWND label, ComPtr<IAccessible> standard, LinkFacts facts,
                                       IUnknown* module_use);

// Cuts `object` (made by MakeLinkAccessible) off from its label, whose window
// is going, and from the clients of other apartments.
void LinkAccessibleDisconnect(IAccessible* object);

}  // namespace velko::forms
