// Subclassed by hand: comctl32's helpers would load it for hosts that never
// show the dialog.
#include "platform/win32/link_label.h"

#include <atomic>

#include "platform/error.h"
#include "platform/win32/form_event.h"
#include "platform/win32/link_accessible.h"
#include "platform/win32/own_module.h"
#include "platform/win32/seams.h"
#include "platform/win32/system_function.h"
#include "platform/win32/wide.h"

namespace velko::forms::detail {
namespace {

using platform::OwnModule;

// The pointing-hand cursor in the own module's resources; the system's hand serves where it is missing.
constexpr int kPointingHandCursorId = 201;
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
// Where a link label's window finds its LinkLabel.
constexpr wchar_t kLinkLabelProperty[] = L"VELKO.LinkLabel";

// Oleacc, loaded at the first request of assistive technology (most hosts never
// meet one) and kept, as the delay-load helper keeps what it loads: clients may
// hold the standard objects it made after the dialog is gone. A load that failed
// is tried again at the next request.
struct Oleacc {
  decltype(&::CreateStdAccessibleObject) create_std_accessible_object;
  decltype(&::LresultFromObject) lresult_from_object;
};
Oleacc LoadedOleacc() {
  static std::atomic<HMODULE> module{nullptr};
  if (!module) module = LoadSystemLibrary(L"oleacc.dll");
  return {SystemFunction<decltype(&::CreateStdAccessibleObject)>(module, "CreateStdAccessibleObject"),
          SystemFunction<decltype(&::LresultFromObject)>(module, "LresultFromObject")};
}

// The pointer over a link: the pointing hand. Shared cursors: loading one twice
// gives the same handle, and it is never destroyed.
HCURSOR PointingHand() {
  static std::atomic<HCURSOR> cursor{nullptr};
  if (!cursor) {
    HCURSOR own = ::LoadCursorW(OwnModule(), MAKEINTRESOURCEW(kPointingHandCursorId));
    cursor = own ? own : ::LoadCursorW(nullptr, IDC_HAND);
  }
  return cursor;
}

// The system's focus rectangle round the text of the focused link label,
// unless the keyboard cues are hidden (until the user first uses the keyboard).
void DrawFocus(HWND label, const Control& control) {
  if (::GetFocus() != label || (::SendMessageW(label, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) return;
  const ScopedWindowDc dc(label);
  if (!dc.get()) return;
  RECT client, text;
  ::GetClientRect(label, &client);
  text = client;
  const HGDIOBJ old_font = ::SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  // The flags the static control draws its text with; one pixel more on each side.
  ::DrawTextW(dc.get(), AsWide(control.caption), static_cast<int>(control.caption.size()), &text,
              DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  ::SelectObject(dc.get(), old_font);
  ::InflateRect(&text, 1, 1);
  ::IntersectRect(&text, &text, &client);
  ::DrawFocusRect(dc.get(), &text);
}

}  // namespace

void LinkLabel::Attach(HWND window) {
  if (!::SetPropW(window, kLinkLabelProperty, this)) ThrowSystemError(::GetLastError());
  static_proc_ =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  if (static_proc_) return;
  const DWORD error = ::GetLastError();
  ::RemovePropW(window, kLinkLabelProperty);
  ThrowSystemError(error);
}

LRESULT CALLBACK LinkLabel::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return Boundary(
      [&] {
        // Set before this procedure is, and removed after.
        auto* link = static_cast<LinkLabel*>(::GetPropW(hwnd, kLinkLabelProperty));
        return link->Message(hwnd, message, wparam, lparam);
      },
      [] { return LRESULT{0}; });
}

LRESULT LinkLabel::Message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  const Control& control = control_;
  if (message == LinkActivateMessage()) {
    if (control.ShowsLink()) Raise(control.on_dbl_click);
    return 0;
  }
  switch (message) {
    case WM_GETDLGCODE:
      // A static's own answer, said here because it matters: a label that asked
      // for Enter would take it from the form's default button.
      return DLGC_STATIC;
    case WM_KEYDOWN:
      // Space on a focused link, as on a focused button; not again while it repeats.
      if (wparam == VK_SPACE && !(lparam & (1 << 30)) && control.ShowsLink()) {
        Raise(control.on_dbl_click);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      // Before the static's own answer, which asks the dialog and then shows the arrow.
      ::SetCursor(PointingHand());
      return TRUE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      ::InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_PAINT: {
      const LRESULT result = ::CallWindowProcW(static_proc_, hwnd, message, wparam, lparam);
      DrawFocus(hwnd, control);
      return result;
    }
    case WM_GETOBJECT: {
      // Only while it shows a link: otherwise the standard object says what the label is.
      if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT) || !control.ShowsLink()) break;
      const Oleacc oleacc = LoadedOleacc();
      if (!oleacc.create_std_accessible_object || !oleacc.lresult_from_object) break;
      ComPtr<IAccessible> standard;
      if (!accessible_ &&
          SUCCEEDED(oleacc.create_std_accessible_object(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                                        standard.put_void())) &&
          standard)
        accessible_ = MakeLinkAccessible(hwnd, std::move(standard),
                                         {control.caption, control.tag, control.link_action}, module_use_);
      if (accessible_) return oleacc.lresult_from_object(__uuidof(IAccessible), wparam, accessible_.get());
      break;
    }
    case WM_NCDESTROY:
      // Clients that keep the object get errors from now on, not a window
      // that is gone or, after a reuse of its handle, another one.
      if (accessible_) LinkAccessibleDisconnect(accessible_.get());
      accessible_ = nullptr;
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(static_proc_));
      ::RemovePropW(hwnd, kLinkLabelProperty);
      return ::CallWindowProcW(static_proc_, hwnd, message, wparam, lparam);
    default:
      break;
  }
  return ::CallWindowProcW(static_proc_, hwnd, message, wparam, lparam);
}

// Blue can hardly be read on a high-contrast theme's black background.
COLORREF LinkColor() {
  HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
  const bool high = seams::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON);
  return high ? ::GetSysColor(COLOR_HOTLIGHT) : kLinkColor;
}

}  // namespace velko::forms::detail
