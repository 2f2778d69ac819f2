// The forms runtime on Windows: each showing is a real modal dialog.
//
// The dialog comes from an in-memory template that holds only the frame; the
// controls are created in WM_INITDIALOG from the form's current properties, each
// with a font of its own. The dialog manager would create a template's font with
// the default character set, which loses the locale's charset, so the form keeps
// its own HFONT too and answers WM_GETFONT with it.
//
// Twips become pixels at the DPI of the window, so the box keeps its size in
// inches on any display. The dialog runs in the activation context of the
// module's own manifest, which asks for common controls 6: the box has the
// visual styles of the system whatever the host's manifest says.
//
// Labels are the system's static controls, and link labels are subclassed: a
// static never takes the focus by itself and assistive technology meets it as
// plain text, while a label that shows a link must be a tab stop, show the
// focus, open on Space and be a link to a screen reader.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/dialog_session.h"
#include "platform/win32/link_accessible.h"
#include "platform/win32/own_module.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::forms {
namespace {

using platform::OwnModule;

// Control identifiers start clear of IDOK (1) and IDCANCEL (2), which the
// dialog manager sends for Enter without a default button and for Escape.
constexpr int kFirstControlId = 100;

// The custom pointing-hand cursor in the resources of the module that holds
// this code (VELKO.dll); the system's hand serves where it is missing.
constexpr int kPointingHandCursorId = 201;

constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
constexpr DWORD kFrameExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// Marks the dialog of a form and holds its session, for the keyboard filter.
constexpr wchar_t kSessionProperty[] = L"VELKO.FormSession";

// How often a copy tries to open the clipboard that another program has open
// for a moment (Wine's X11 bridge opens it to pass selections on), 10 ms apart.
constexpr int kClipboardAttempts = 10;

// The activation context of the module's manifest resource (common controls 6),
// made once and released when the module unloads. Invalid where the module has
// no manifest (a test program without one): dialogs then take the thread's own
// context.
HANDLE CommonControlsContext() {
  static const UniqueActCtx context = [] {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = OwnModule();
    request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    return UniqueActCtx(::CreateActCtxW(&request));
  }();
  return context.get();
}

template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  // Through void (*)(): the one function type that casts to any other without a warning.
  return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

// The pixels per inch of `window`, asked the newest way the system knows:
// GetDpiForWindow (Windows 10) answers for the window's own DPI awareness and
// monitor, GetDpiForMonitor (Windows 8.1) for its monitor, and before them the
// screen has one DPI. A host that is not DPI-aware gets 96 from each, and the
// system scales its windows.
int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto get_dpi_for_window =
      SystemFunction<GetDpiForWindowFunction>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (get_dpi_for_window)
    if (const UINT dpi = get_dpi_for_window(window)) return static_cast<int>(dpi);

  // shcore is not in every process: held for this call only.
  UniqueHModule shcore(::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (const auto get_dpi_for_monitor = SystemFunction<GetDpiForMonitorFunction>(shcore.get(), "GetDpiForMonitor")) {
    UINT x = 0, y = 0;
    if (SUCCEEDED(get_dpi_for_monitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) &&
        y > 0)
      return static_cast<int>(y);
  }

  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

std::u16string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  UniqueLocal owned(buffer);
  std::u16string text(FromWide(buffer ? buffer : L"", n));
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  return text;
}

[[noreturn]] void ThrowLastError() {
  const DWORD code = ::GetLastError();
  throw Error(static_cast<int32_t>(code), SystemErrorText(code));
}

COLORREF ToColorRef(Color color) {
  // OLE_COLOR: the high bit marks a system colour, indexed by the low byte.
  if (color & 0x80000000u) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0x00FFFFFF);
}

HCURSOR PointingHand() {
  static const HCURSOR cursor = [] {
    HCURSOR own = ::LoadCursorW(OwnModule(), MAKEINTRESOURCEW(kPointingHandCursorId));
    return own ? own : ::LoadCursorW(nullptr, IDC_HAND);
  }();
  return cursor;  // shared cursors: never destroyed
}

// Oleacc, loaded at the first request of assistive technology rather than with
// the component: most hosts never meet one. Kept for the life of the process,
// as the system's delay-load helper keeps what it loads, because clients may
// hold the standard objects it made after the box, and this module, are gone.
struct Oleacc {
  decltype(&::CreateStdAccessibleObject) create_std_accessible_object;
  decltype(&::LresultFromObject) lresult_from_object;
};
const Oleacc& LoadedOleacc() {
  static const Oleacc oleacc = [] {
    const HMODULE module = ::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return Oleacc{SystemFunction<decltype(&::CreateStdAccessibleObject)>(module, "CreateStdAccessibleObject"),
                  SystemFunction<decltype(&::LresultFromObject)>(module, "LresultFromObject")};
  }();
  return oleacc;
}

// Where a label's window finds its LabelWindow.
constexpr wchar_t kLabelWindowProp[] = L"VELKO.LabelWindow";

// A dialog template with the frame only: no menu, the dialog class, no title
// (the caption is set with the controls), no font and no controls. Mirrored,
// its children are too: a position from the left is then one from the right.
std::vector<WORD> FrameTemplate(bool right_to_left) {
  std::vector<WORD> words((sizeof(DLGTEMPLATE) + 1) / 2 + 3, 0);
  auto* t = reinterpret_cast<DLGTEMPLATE*>(words.data());
  t->style = kFrameStyle;
  t->dwExtendedStyle = kFrameExStyle | (right_to_left ? WS_EX_LAYOUTRTL : 0);
  return words;
}

// The rectangle round the text that `label` draws in its client area, one pixel
// larger on each side, within the client area.
RECT TextFrame(HWND label, HDC dc, const Label& control) {
  RECT client;
  ::GetClientRect(label, &client);
  RECT text = client;
  // The flags the static control draws its text with.
  const UINT flags = DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | (control.UseMnemonic() ? 0 : DT_NOPREFIX);
  const HGDIOBJ old_font = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  const std::u16string& caption = control.Caption();
  ::DrawTextW(dc, AsWide(caption.c_str()), static_cast<int>(caption.size()), &text, flags);
  ::SelectObject(dc, old_font);
  ::InflateRect(&text, 1, 1);
  ::IntersectRect(&text, &text, &client);
  return text;
}

// The system's focus rectangle round the text of `label` when it has the focus,
// unless the keyboard cues are hidden (until the user first uses the keyboard).
void DrawFocus(HWND label, const Label& control) {
  if (::GetFocus() != label || (::SendMessageW(label, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) return;
  const ScopedWindowDc dc(label);
  if (!dc.get()) return;
  const RECT frame = TextFrame(label, dc.get(), control);
  ::DrawFocusRect(dc.get(), &frame);
}

}  // namespace

struct DialogSession::LabelWindow {
  DialogSession& session;
  Label& label;
  // Made at the first request and kept, so every client gets the same object;
  // cut off from its clients when the window goes.
  ComPtr<IAccessible> accessible;
  // The system static's own procedure, which the label's passes on to.
  WNDPROC static_proc;
};

DialogSession::DialogSession(Form& form) : form_(form) {}

DialogSession::~DialogSession() = default;

void DialogSession::Run(WindowHandle owner) {
  const std::vector<WORD> frame = FrameTemplate(form_.RightToLeft());
  // Active from the dialog's creation to the end of its modal loop, so the
  // buttons and everything their handlers create are common controls 6.
  ScopedActCtxActivation visual_styles(CommonControlsContext());
  // Keys reach the dialog manager's loop, not the dialog procedure; its
  // message filter is where Ctrl+C can be seen.
  UniqueHHook keyboard(::SetWindowsHookExW(WH_MSGFILTER, &DialogSession::KeyboardFilter, nullptr,
                                           ::GetCurrentThreadId()));
  const INT_PTR result =
      ::DialogBoxIndirectParamW(OwnModule(), reinterpret_cast<const DLGTEMPLATE*>(frame.data()),
                                static_cast<HWND>(owner), &DialogSession::Proc, reinterpret_cast<LPARAM>(this));
  if (failure_) std::rethrow_exception(failure_);
  if (result == -1) ThrowLastError();
}

UniqueHFont DialogSession::MakeFont(const FontValue& font) const {
  LOGFONTW lf{};
  lf.lfHeight = -Y(font.size * 20);  // 20 twips to the point
  lf.lfWeight = font.weight();
  lf.lfUnderline = font.underline ? TRUE : FALSE;
  lf.lfCharSet = static_cast<BYTE>(font.charset);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const size_t n = std::min(font.name.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::copy_n(AsWide(font.name.c_str()), n, lf.lfFaceName);
  return UniqueHFont(::CreateFontIndirectW(&lf));
}

HFONT DialogSession::FontFor(const FontValue& font) {
  for (const SharedFont& f : fonts_)
    if (f.value == font) return f.font.get();
  fonts_.push_back({font, MakeFont(font)});
  return fonts_.back().font.get();
}

void DialogSession::Place(const Child& child) const {
  const Control& c = *child.control;
  ::MoveWindow(child.hwnd, X(c.Left()), Y(c.Top()), X(c.Width()), Y(c.Height()), TRUE);
}

void DialogSession::CreateChild(Control& control, int id) {
  // Labels keep the static class of the host's own context: version 6 draws
  // plain text no differently, and Wine's version-6 static loses a small block
  // of memory for every label given a font (a leak the soak test sees).
  const bool host_class = control.kind() == ControlKind::kLabel && CommonControlsContext() != INVALID_HANDLE_VALUE;
  ScopedActCtxActivation host_context(host_class ? nullptr : INVALID_HANDLE_VALUE);
  DWORD style = WS_CHILD | (control.Visible() ? WS_VISIBLE : 0);
  const wchar_t* window_class;
  if (control.kind() == ControlKind::kLabel) {
    window_class = L"STATIC";
    // SS_NOTIFY: the label gets the mouse, for its click events and its pointer.
    style |= SS_LEFT | SS_NOTIFY | (static_cast<Label&>(control).UseMnemonic() ? 0 : SS_NOPREFIX) |
             (control.TabStop() ? WS_TABSTOP : 0);
  } else {
    window_class = L"BUTTON";
    style |= WS_TABSTOP | (static_cast<CommandButton&>(control).Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
  HWND hwnd = ::CreateWindowExW(0, window_class, AsWide(control.Caption()), style, X(control.Left()),
                                Y(control.Top()), X(control.Width()), Y(control.Height()), hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), OwnModule(), nullptr);
  if (!hwnd) ThrowLastError();
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control.GetFont().value())), FALSE);
  children_.push_back({&control, hwnd});
  if (control.kind() == ControlKind::kLabel && static_cast<Label&>(control).IsLinkLabel()) {
    // Subclassed by hand, not with comctl32's helpers: the component does not
    // load comctl32 for hosts that never show the box.
    labels_.push_back(
        std::make_unique<LabelWindow>(LabelWindow{*this, static_cast<Label&>(control), nullptr, nullptr}));
    LabelWindow& window = *labels_.back();
    if (!::SetPropW(hwnd, kLabelWindowProp, &window)) ThrowLastError();
    window.static_proc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogSession::LabelProc)));
    if (!window.static_proc) ThrowLastError();
  }
}

void DialogSession::FitFrame() {
  const int client_width = X(form_.ScaleWidth());
  const int client_height = Y(form_.ScaleHeight());
  RECT frame{0, 0, client_width, client_height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_EXSTYLE)));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  for (int pass = 0; pass < 2; ++pass) {
    ::SetWindowPos(hwnd_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // AdjustWindowRectEx knows the frame at the system's DPI only; a window of
    // another DPI has a frame of another size, measured now and made up for.
    RECT client;
    ::GetClientRect(hwnd_, &client);
    if (client.right == client_width && client.bottom == client_height) break;
    width += client_width - client.right;
    height += client_height - client.bottom;
  }
}

void DialogSession::Initialize(HWND hwnd) {
  hwnd_ = hwnd;
  dpi_ = WindowDpi(hwnd);
  ::SetPropW(hwnd, kSessionProperty, this);

  ::SetWindowTextW(hwnd, AsWide(form_.Caption()));
  form_font_ = FontFor(form_.GetFont().value());
  FitFrame();

  // Created in tab order, so the dialog manager's tabbing follows it.
  const std::vector<Control*>& controls = form_.Controls();
  children_.reserve(controls.size());
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->kind() == ControlKind::kOther) continue;  // nothing of it is drawn
    CreateChild(*controls[i], kFirstControlId + static_cast<int>(i));
  }
  if (CommandButton* button = form_.DefaultButton())
    if (Child* child = Find(button)) ::SendMessageW(hwnd, DM_SETDEFID, ::GetDlgCtrlID(child->hwnd), 0);
  for (const Child& child : children_)
    if (child.control->TabStop() && child.control->Visible()) {
      ::SetFocus(child.hwnd);
      break;
    }
  form_.session_ = this;
}

DialogSession::Child* DialogSession::Find(HWND hwnd) {
  for (Child& c : children_)
    if (c.hwnd == hwnd) return &c;
  return nullptr;
}

DialogSession::Child* DialogSession::Find(const Control* control) {
  for (Child& c : children_)
    if (c.control == control) return &c;
  return nullptr;
}

void DialogSession::Rescale(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  // Fonts of the new size; the old ones are deleted at the end, when no control uses them any more.
  std::vector<SharedFont> old_fonts = std::move(fonts_);
  fonts_.clear();
  form_font_ = FontFor(form_.GetFont().value());
  for (const Child& child : children_) {
    ::SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(child.control->GetFont().value())), FALSE);
    Place(child);
  }
  // The frame that the system suggests keeps the box where it is; another one
  // could bring it back to the first monitor and start over.
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void DialogSession::CopyToClipboard() noexcept {
  std::u16string text;
  Raise([&] { text = form_.ClipboardText(); });
  if (text.empty()) return;
  // The text and its NUL, in memory that the clipboard owns once it takes it.
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  UniqueHGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
  void* data = memory ? ::GlobalLock(memory.get()) : nullptr;
  if (!data) return;
  std::memcpy(data, text.c_str(), bytes);
  ::GlobalUnlock(memory.get());
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    // Opened by the box, so that the box is the clipboard's owner after EmptyClipboard.
    ScopedClipboard clipboard(hwnd_);
    if (clipboard.is_open()) {
      if (::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
      return;
    }
    ::Sleep(10);
  }
}

LRESULT CALLBACK DialogSession::KeyboardFilter(int code, WPARAM wparam, LPARAM lparam) {
  // Modal dialog loops pass every message here first (IsDialogMessage calls
  // CallMsgFilter with MSGF_DIALOGBOX). Ctrl with Alt is AltGr on many keyboards,
  // which types a character rather than a command.
  if (code == MSGF_DIALOGBOX) {
    const MSG& msg = *reinterpret_cast<const MSG*>(lparam);
    if (msg.message == WM_KEYDOWN && msg.wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0 &&
        ::GetKeyState(VK_MENU) >= 0) {
      if (auto* session = static_cast<DialogSession*>(::GetPropW(::GetAncestor(msg.hwnd, GA_ROOT), kSessionProperty))) {
        session->CopyToClipboard();
        return TRUE;  // taken: the control with the focus does not get the key
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

INT_PTR DialogSession::OnCommand(int id, int code) {
  if (id == IDCANCEL) {
    // Escape (and nothing else: the close box is WM_CLOSE, handled apart).
    if (CommandButton* cancel = form_.CancelButton(); cancel && cancel->Visible()) Raise([&] { cancel->Click(); });
    return TRUE;
  }
  const int index = id - kFirstControlId;
  const std::vector<Control*>& controls = form_.Controls();
  if (index < 0 || static_cast<size_t>(index) >= controls.size()) return FALSE;
  Control& control = *controls[index];
  if (control.kind() == ControlKind::kCommandButton) {
    if (code == BN_CLICKED) Raise([&] { control.Click(); });
  } else if (control.kind() == ControlKind::kLabel) {
    if (code == STN_CLICKED) Raise([&] { control.Click(); });
    if (code == STN_DBLCLK) Raise([&] { control.DblClick(); });
  }
  return TRUE;
}

void DialogSession::Changed(const Control* control, Property what) {
  if (!hwnd_) return;
  if (!control) {
    if (what == Property::kCaption) ::SetWindowTextW(hwnd_, AsWide(form_.Caption()));
    if (what == Property::kFont) form_font_ = FontFor(form_.GetFont().value());
    return;
  }
  Child* child = Find(control);
  if (!child) return;
  switch (what) {
    case Property::kCaption:
      ::SetWindowTextW(child->hwnd, AsWide(control->Caption()));
      if (control->kind() == ControlKind::kLabel && static_cast<const Label*>(control)->IsLinkLabel()) {
        // A link label is a tab stop only while it shows a link; one that no
        // longer does hands the focus on.
        const LONG style = ::GetWindowLongW(child->hwnd, GWL_STYLE);
        ::SetWindowLongW(child->hwnd, GWL_STYLE, control->TabStop() ? style | WS_TABSTOP : style & ~WS_TABSTOP);
        if (!control->TabStop() && ::GetFocus() == child->hwnd) ::SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
      }
      break;
    case Property::kVisible:
      ::ShowWindow(child->hwnd, control->Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Property::kPosition:
      Place(*child);
      break;
    case Property::kFont:
      // The font it had stays with the session, for the controls that still share it.
      ::SendMessageW(child->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control->GetFont().value())), TRUE);
      break;
    case Property::kForeColor:
      ::InvalidateRect(child->hwnd, nullptr, TRUE);
      break;
    case Property::kTag:
    case Property::kMousePointer:
      break;  // nothing drawn; the pointer is asked for at every mouse move
  }
}

LRESULT CALLBACK DialogSession::LabelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // Set before this procedure is, and removed after.
  LabelWindow& window = *static_cast<LabelWindow*>(::GetPropW(hwnd, kLabelWindowProp));
  Label& label = window.label;
  if (message == LinkActivateMessage()) {
    // The link may have gone since the request was posted.
    if (label.ShowsLink()) window.session.Raise([&] { label.DblClick(); });
    return 0;
  }
  switch (message) {
    case WM_GETDLGCODE:
      // A static's own answer, said here because it matters: a label that asked
      // for Enter, or claimed to be a default button, would take Enter from the
      // form's default button.
      return DLGC_STATIC;
    case WM_KEYDOWN:
      // Space on a focused link, as on a focused button; not again while it repeats.
      if (wparam == VK_SPACE && !(lparam & (1 << 30)) && label.ShowsLink()) {
        window.session.Raise([&] { label.DblClick(); });
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      ::InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_PAINT: {
      const LRESULT result = ::CallWindowProcW(window.static_proc, hwnd, message, wparam, lparam);
      DrawFocus(hwnd, label);
      return result;
    }
    case WM_GETOBJECT: {
      // Only while it shows a link: otherwise the standard object says what the label is.
      if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT) || !label.ShowsLink()) break;
      const Oleacc& oleacc = LoadedOleacc();
      if (!oleacc.create_std_accessible_object || !oleacc.lresult_from_object) break;
      if (!window.accessible) {
        ComPtr<IAccessible> standard;
        const HRESULT hr =
            oleacc.create_std_accessible_object(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void());
        if (SUCCEEDED(hr) && standard)
          window.accessible =
              MakeLinkAccessible(hwnd, std::move(standard), {label.AccessibleName(), label.Tag(), u"Open link"});
      }
      if (window.accessible) return oleacc.lresult_from_object(__uuidof(IAccessible), wparam, window.accessible.get());
      break;
    }
    case WM_NCDESTROY:
      // Clients that keep the object get errors from now on, not a window
      // that is gone or, after a reuse of its handle, another one.
      if (window.accessible) LinkAccessibleDisconnect(window.accessible.get());
      window.accessible = nullptr;
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(window.static_proc));
      ::RemovePropW(hwnd, kLabelWindowProp);
      break;
    default:
      break;
  }
  return ::CallWindowProcW(window.static_proc, hwnd, message, wparam, lparam);
}

INT_PTR CALLBACK DialogSession::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* session = reinterpret_cast<DialogSession*>(lparam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    try {
      session->Initialize(hwnd);
    } catch (...) {
      session->failure_ = std::current_exception();
      ::EndDialog(hwnd, -1);
    }
    return FALSE;  // the focus is set
  }
  auto* session = reinterpret_cast<DialogSession*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!session) return FALSE;
  switch (message) {
    case WM_COMMAND:
      return session->OnCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_CLOSE:
      // The close box (or Alt+F4) unloads the form just as its own code would.
      session->Raise([&] { session->form_.Unload(); });
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const Child* child = session->Find(reinterpret_cast<HWND>(lparam));
      if (!child) return FALSE;
      HDC dc = reinterpret_cast<HDC>(wparam);
      ::SetTextColor(dc, ToColorRef(child->control->ForeColor()));
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
      const Child* child = session->Find(reinterpret_cast<HWND>(wparam));
      if (!child || child->control->GetMousePointer() != MousePointer::kPointingHand) return FALSE;
      ::SetCursor(PointingHand());
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_GETFONT:
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(session->form_font_));
      return TRUE;
    case WM_DPICHANGED:
      // Sent to windows of hosts that are aware of each monitor's DPI, when the box moves to another one.
      session->Raise([&] { session->Rescale(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); });
      return TRUE;
    case WM_DESTROY:
      // The window goes: the form is no longer shown, whatever ended the loop
      // (unless a newer showing has taken over).
      ::RemovePropW(hwnd, kSessionProperty);
      if (session->form_.session_ == session) session->form_.session_ = nullptr;
      session->hwnd_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace velko::forms
