// Forms on Windows. The dialog comes from an in-memory template that holds only
// the frame; the controls are created in WM_INITDIALOG. The dialog manager
// would create a template's font with the default character set, losing the
// locale's, so the form keeps its own HFONT and answers WM_GETFONT with it.
// Twips become pixels at the DPI of the window. The dialog's controls are made
// in the activation context of the module's own manifest (common controls 6),
// so the box has the system's visual styles whatever the host's manifest says;
// its modal loop runs in the host's, so that host code the loop calls (timers,
// incoming calls) makes its windows as the host would. Link
// labels are subclassed statics: a static never takes the focus and a screen
// reader meets it as plain text, while a link must be a tab stop, show the
// focus, open on Space and be a link to a screen reader.
#include "platform/win32/forms.h"

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>

#include "platform/error.h"
#include "platform/win32/link_accessible.h"
#include "platform/win32/own_module.h"
#include "platform/win32/seams.h"
#include "platform/win32/system_function.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::forms {
namespace {

using platform::OwnModule;

// Control identifiers start clear of IDOK (1) and IDCANCEL (2), which the
// dialog manager sends for Enter without a default button and for Escape.
constexpr int kFirstControlId = 100;
// The pointing-hand cursor in VELKO.dll's resources; the system's hand serves where it is missing.
constexpr int kPointingHandCursorId = 201;
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
// Marks the dialog of a form and holds it, for the keyboard filter.
constexpr wchar_t kDialogProperty[] = L"VELKO.FormDialog";
// Where a link label's window finds its LinkLabel.
constexpr wchar_t kLinkLabelProperty[] = L"VELKO.LinkLabel";
// How often a copy tries to open the clipboard that another program has open
// for a moment (Wine's X11 bridge opens it to pass selections on), 10 ms apart.
constexpr int kClipboardAttempts = 10;

// The activation context of the module's manifest resource, kept once made
// (the module is pinned); invalid where the module has none (a test program)
// or the system could not make it now: dialogs then take the thread's, and the
// next box tries again. No function-local static: its guard would bring in the
// thread library, which crashes where its own allocation fails.
HANDLE CommonControlsContext() {
  static std::atomic<HANDLE> kept{nullptr};  // a context is never null
  if (const HANDLE context = kept.load()) return context;
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.hModule = OwnModule();
  request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
  UniqueActCtx made(::CreateActCtxW(&request));
  HANDLE expected = nullptr;
  if (!made || kept.compare_exchange_strong(expected, made.get())) return made.release();
  return expected;  // another thread's, kept first
}

// The pixels per inch of `window`, asked the newest way the system knows:
// GetDpiForWindow (Windows 10), GetDpiForMonitor (8.1), the screen's. A host
// that is not DPI-aware gets 96 from each, and the system scales its windows.
int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  if (const auto get = SystemFunction<GetDpiForWindowFunction>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))
    if (const UINT dpi = get(window)) return static_cast<int>(dpi);
  // shcore is not in every process: held for this call only.
  UniqueHModule shcore(LoadSystemLibrary(L"shcore.dll"));
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (const auto get = SystemFunction<GetDpiForMonitorFunction>(shcore.get(), "GetDpiForMonitor")) {
    UINT x = 0, y = 0;
    if (SUCCEEDED(get(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) && y > 0)
      return static_cast<int>(y);
  }
  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

HCURSOR PointingHand() {
  // Shared cursors: loading one twice gives the same handle, and it is never destroyed.
  static std::atomic<HCURSOR> cursor{nullptr};
  if (!cursor) {
    HCURSOR own = ::LoadCursorW(OwnModule(), MAKEINTRESOURCEW(kPointingHandCursorId));
    cursor = own ? own : ::LoadCursorW(nullptr, IDC_HAND);
  }
  return cursor;
}

// Pure blue, or the theme's colour for links while a high-contrast theme is
// on: blue can hardly be read on its black background.
COLORREF LinkColor() {
  HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
  const bool high = seams::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON);
  return high ? ::GetSysColor(COLOR_HOTLIGHT) : kLinkColor;
}

// What a task-modal message box does to its thread: its top-level windows that
// were enabled are disabled while the box is shown and enabled again after it,
// those that still exist.
class TaskModalWindows {
 public:
  TaskModalWindows() {
    ::EnumThreadWindows(::GetCurrentThreadId(), &Take, reinterpret_cast<LPARAM>(&disabled_));
    for (HWND window : disabled_) ::EnableWindow(window, FALSE);
    restored_.assign(disabled_.size(), false);
  }
  TaskModalWindows(const TaskModalWindows&) = delete;
  TaskModalWindows& operator=(const TaskModalWindows&) = delete;
  ~TaskModalWindows() { Restore(false); }

  // Enables the windows again. While the box's modal loop runs (`in_loop`), a
  // window that owns a shown window the box did not disable stays disabled: a
  // modal box that the host opened meanwhile, whose loop runs inside this one
  // and ends first. Its owner must take no input until then; it is enabled when
  // the box's loop has ended. What the box disabled itself (an owned palette or
  // Find window) holds nothing back, whichever order the windows come in.
  void Restore(bool in_loop) noexcept {
    for (size_t i = 0; i < disabled_.size(); ++i) {
      if (restored_[i] || (in_loop && OwnsShownWindow(disabled_[i]))) continue;
      if (::IsWindow(disabled_[i])) ::EnableWindow(disabled_[i], TRUE);
      restored_[i] = true;
    }
  }

 private:
  struct OwnedSearch {
    HWND owner;
    const std::vector<HWND>& disabled;
    bool found;
  };
  static BOOL CALLBACK Take(HWND window, LPARAM list) {
    return Boundary(
        [&] {
          if (::IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
          return TRUE;
        },
        [] { return FALSE; });
  }
  static BOOL CALLBACK FindOwned(HWND window, LPARAM search) {
    auto& s = *reinterpret_cast<OwnedSearch*>(search);
    s.found = ::GetWindow(window, GW_OWNER) == s.owner && ::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
              std::find(s.disabled.begin(), s.disabled.end(), window) == s.disabled.end();
    return !s.found;
  }
  bool OwnsShownWindow(HWND owner) const {
    OwnedSearch search{owner, disabled_, false};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  // What the box disabled, in the system's order, and which of them are enabled again.
  std::vector<HWND> disabled_;
  std::vector<bool> restored_;
};

// Whether a user can see a window of this thread and answer it. A service, a
// web server or a scheduled task has no desktop that anybody sees (a window
// station that is not visible, or session 0, which no user's session is since
// Windows Vista), nor does a thread on a desktop of its own that is not the one
// taking input: the box would wait for ever for a click that cannot come. The
// default desktop counts while a lock or a consent prompt covers it: its user
// comes back to it. (Wine has no UOI_IO: there, only the default desktop counts.)
bool SomebodySees() {
  USEROBJECTFLAGS station{};
  if (::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &station, sizeof station, nullptr) &&
      !(station.dwFlags & WSF_VISIBLE))
    return false;
  DWORD session = 0;
  if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0) return false;
  const HDESK desktop = ::GetThreadDesktop(::GetCurrentThreadId());
  BOOL input = FALSE;
  if (::GetUserObjectInformationW(desktop, UOI_IO, &input, sizeof input, nullptr) && input) return true;
  wchar_t name[16] = {};  // longer names are not "Default"
  return ::GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, nullptr) &&
         ::CompareStringOrdinal(name, -1, L"Default", -1, TRUE) == CSTR_EQUAL;
}

// Oleacc, loaded at the first request of assistive technology (most hosts never
// meet one) and kept, as the delay-load helper keeps what it loads: clients may
// hold the standard objects it made after the box is gone. A load that failed
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

}  // namespace

class Dialog final {
 public:
  explicit Dialog(Form& form) : form_(form) {}

  // Builds the window from the form's current properties and runs its modal
  // loop; returns when the form unloads or the window is gone.
  void Run() {
    // The frame only: no menu, class, title, font or controls. Mirrored, its
    // children are too: a position from the left is then one from the right.
    alignas(DWORD) WORD frame[(sizeof(DLGTEMPLATE) + 1) / 2 + 3] = {};
    auto* t = reinterpret_cast<DLGTEMPLATE*>(frame);
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    t->dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | (form_.RightToLeft() ? WS_EX_LAYOUTRTL : 0);
    // Keys reach the dialog manager's loop, not the procedure: Ctrl+C is seen in its filter.
    UniqueHHook keyboard(::SetWindowsHookExW(WH_MSGFILTER, &KeyboardFilter, nullptr, ::GetCurrentThreadId()));
    const INT_PTR result =
        ::DialogBoxIndirectParamW(OwnModule(), t, nullptr, &Proc, reinterpret_cast<LPARAM>(this));
    if (failure_) std::rethrow_exception(failure_);
    if (result == -1) ThrowSystemError(::GetLastError());
  }

  // The form unloads. The thread's windows are enabled first, so that one of them is activated next.
  void Close() {
    other_windows_.Restore(true);
    if (hwnd_) ::EndDialog(hwnd_, 0);
  }

  HWND hwnd() const { return hwnd_; }
  int dpi() const { return dpi_; }

 private:
  // What the window of a link label keeps beside the system's static control.
  struct LinkLabel {
    Control& control;
    IUnknown* module_use;
    WNDPROC static_proc;
    // Made at the first request and kept, so every client gets the same object;
    // cut off from its clients when the window goes.
    ComPtr<IAccessible> accessible;
  };

  int Pixels(float twips) const { return TwipsToPixels(twips, dpi_); }

  // One font object per distinct value: most controls share the form's.
  HFONT FontFor(const FontValue& font) {
    for (const auto& [value, handle] : fonts_)
      if (value == font) return handle.get();
    LOGFONTW lf{};
    lf.lfHeight = -Pixels(font.size * 20);  // 20 twips to the point
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = font.underline;
    lf.lfCharSet = static_cast<BYTE>(font.charset);
    std::copy_n(AsWide(font.name.c_str()), std::min<size_t>(font.name.size(), LF_FACESIZE - 1), lf.lfFaceName);
    fonts_.emplace_back(font, UniqueHFont(::CreateFontIndirectW(&lf)));
    return fonts_.back().second.get();
  }

  // Gives every control its font and place at the current DPI.
  void LayOut() {
    form_font_ = FontFor(form_.font);
    for (size_t i = 0; i < children_.size(); ++i) {
      const Control& c = *form_.Controls()[i];
      ::SendMessageW(children_[i], WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.font)), FALSE);
      ::MoveWindow(children_[i], Pixels(c.left), Pixels(c.design.top), Pixels(c.width),
                   Pixels(c.design.height), TRUE);
    }
  }

  void CreateChild(Control& control, int id) {
    // Labels keep the host's static class: version 6 draws text no differently,
    // and Wine's leaks a little memory per label given a font (the soak sees it).
    const bool label = control.design.kind == ControlKind::kLabel;
    ScopedActCtxActivation host_context(label && CommonControlsContext() != INVALID_HANDLE_VALUE ? nullptr
                                                                                                 : INVALID_HANDLE_VALUE);
    DWORD style = WS_CHILD | (control.visible ? WS_VISIBLE : 0) | (control.TabStop() ? WS_TABSTOP : 0);
    // SS_NOTIFY: the label gets the mouse, for its double-click and its pointer.
    style |= label ? SS_LEFT | SS_NOTIFY | SS_NOPREFIX : control.design.is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    HWND hwnd = ::CreateWindowExW(0, label ? L"STATIC" : L"BUTTON", AsWide(control.caption), style, 0, 0, 0, 0,
                                  hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), OwnModule(), nullptr);
    if (!hwnd) ThrowSystemError(::GetLastError());
    children_.push_back(hwnd);
    if (control.design.is_default) ::SendMessageW(hwnd_, DM_SETDEFID, id, 0);
    if (!control.design.link) return;
    // Subclassed by hand: comctl32's helpers would load it for hosts that never show the box.
    links_.push_back(std::make_unique<LinkLabel>(LinkLabel{control, form_.ModuleUse(), nullptr, nullptr}));
    if (!::SetPropW(hwnd, kLinkLabelProperty, links_.back().get())) ThrowSystemError(::GetLastError());
    links_.back()->static_proc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkLabelProc)));
    if (!links_.back()->static_proc) ThrowSystemError(::GetLastError());
  }

  // Sizes the frame round a client area of the form's size, centred on the screen.
  void FitFrame() {
    const int client_width = Pixels(form_.ScaleWidth()), client_height = Pixels(form_.ScaleHeight());
    RECT frame{0, 0, client_width, client_height};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    for (int pass = 0; pass < 2; ++pass) {
      ::SetWindowPos(hwnd_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
      // AdjustWindowRectEx knows the system DPI's frame only: another DPI's is measured and made up for.
      RECT client;
      ::GetClientRect(hwnd_, &client);
      if (client.right == client_width && client.bottom == client_height) break;
      width += client_width - client.right;
      height += client_height - client.bottom;
    }
  }

  void Initialize(HWND hwnd) {
    // Only while the controls are made: the modal loop runs host code too.
    ScopedActCtxActivation visual_styles(CommonControlsContext());
    hwnd_ = hwnd;
    dpi_ = WindowDpi(hwnd);
    ::SetPropW(hwnd, kDialogProperty, this);
    ::SetWindowTextW(hwnd, AsWide(form_.caption));
    FitFrame();
    // Created in tab order, so the dialog manager's tabbing follows it.
    for (size_t i = 0; i < form_.Controls().size(); ++i)
      CreateChild(*form_.Controls()[i], kFirstControlId + static_cast<int>(i));
    LayOut();
    for (size_t i = 0; i < children_.size(); ++i)
      if (form_.Controls()[i]->TabStop() && form_.Controls()[i]->visible) {
        ::SetFocus(children_[i]);
        break;
      }
  }

  // Lays the controls out again at `dpi`, with fonts of that size, in the frame `suggested`.
  void Rescale(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    // The old fonts are deleted at the end, when no control uses them any more.
    const auto old_fonts = std::move(fonts_);
    fonts_.clear();
    LayOut();
    // The system's frame keeps the box where it is; another could take it back to the first monitor.
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }

  void CopyToClipboard() noexcept {
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
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt, ::Sleep(10)) {
      // Opened by the box, so that the box is the clipboard's owner after EmptyClipboard.
      ScopedClipboard clipboard(hwnd_);
      if (!clipboard.is_open()) continue;
      if (::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
      return;
    }
  }

  // Runs an event handler of the form. Nothing may unwind through the system's
  // message dispatch, so a handler's failure ends that handler only.
  template <typename Handler>
  static void Raise(Handler&& handler) noexcept {
    Boundary(handler, [] {});
  }
  static void Raise(const std::function<void()>& handler) noexcept {
    if (handler) Raise([&] { handler(); });
  }

  static LRESULT CALLBACK KeyboardFilter(int code, WPARAM wparam, LPARAM lparam) {
    return Boundary([&] { return FilterKey(code, wparam, lparam); }, [] { return LRESULT{0}; });
  }
  static LRESULT FilterKey(int code, WPARAM wparam, LPARAM lparam) {
    // IsDialogMessage passes every message here first (MSGF_DIALOGBOX). Ctrl
    // with Alt is AltGr on many keyboards: a character, not a command.
    const MSG& msg = *reinterpret_cast<const MSG*>(lparam);
    if (code == MSGF_DIALOGBOX && msg.message == WM_KEYDOWN && msg.wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0 &&
        ::GetKeyState(VK_MENU) >= 0)
      if (auto* dialog = static_cast<Dialog*>(::GetPropW(::GetAncestor(msg.hwnd, GA_ROOT), kDialogProperty))) {
        dialog->CopyToClipboard();
        return TRUE;  // taken: the control with the focus does not get the key
      }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
  }

  // The system's focus rectangle round the text of the focused link label,
  // unless the keyboard cues are hidden (until the user first uses the keyboard).
  static void DrawFocus(HWND label, const Control& control) {
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

  static LRESULT CALLBACK LinkLabelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return Boundary([&] { return LinkLabelMessage(hwnd, message, wparam, lparam); }, [] { return LRESULT{0}; });
  }
  static LRESULT LinkLabelMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    // Set before this procedure is, and removed after.
    LinkLabel& link = *static_cast<LinkLabel*>(::GetPropW(hwnd, kLinkLabelProperty));
    const Control& control = link.control;
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
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_UPDATEUISTATE:
        ::InvalidateRect(hwnd, nullptr, TRUE);
        break;
      case WM_PAINT: {
        const LRESULT result = ::CallWindowProcW(link.static_proc, hwnd, message, wparam, lparam);
        DrawFocus(hwnd, control);
        return result;
      }
      case WM_GETOBJECT: {
        // Only while it shows a link: otherwise the standard object says what the label is.
        if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT) || !control.ShowsLink()) break;
        const Oleacc oleacc = LoadedOleacc();
        if (!oleacc.create_std_accessible_object || !oleacc.lresult_from_object) break;
        ComPtr<IAccessible> standard;
        if (!link.accessible &&
            SUCCEEDED(oleacc.create_std_accessible_object(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                                          standard.put_void())) &&
            standard)
          link.accessible = MakeLinkAccessible(hwnd, std::move(standard),
                                               {control.caption, control.tag, control.link_action},
                                               link.module_use);
        if (link.accessible) return oleacc.lresult_from_object(__uuidof(IAccessible), wparam, link.accessible.get());
        break;
      }
      case WM_NCDESTROY:
        // Clients that keep the object get errors from now on, not a window
        // that is gone or, after a reuse of its handle, another one.
        if (link.accessible) LinkAccessibleDisconnect(link.accessible.get());
        link.accessible = nullptr;
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link.static_proc));
        ::RemovePropW(hwnd, kLinkLabelProperty);
        return ::CallWindowProcW(link.static_proc, hwnd, message, wparam, lparam);
      default:
        break;
    }
    return ::CallWindowProcW(link.static_proc, hwnd, message, wparam, lparam);
  }

  // The form's control of the child window `child`; nullptr for any other window.
  Control* ControlOf(HWND child) const {
    const auto at = std::find(children_.begin(), children_.end(), child);
    return at == children_.end() ? nullptr : form_.Controls()[at - children_.begin()].get();
  }

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return Boundary([&] { return Message(hwnd, message, wparam, lparam); }, [] { return INT_PTR{FALSE}; });
  }
  static INT_PTR Message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      auto* dialog = reinterpret_cast<Dialog*>(lparam);
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
      Boundary([&] { dialog->Initialize(hwnd); }, [&] {
        dialog->failure_ = std::current_exception();
        ::EndDialog(hwnd, -1);
      });
      return FALSE;  // the focus is set
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    switch (message) {
      case WM_COMMAND: {
        // Escape sends IDCANCEL, which has no control: the box has no cancel button.
        const Control* control = dialog->ControlOf(reinterpret_cast<HWND>(lparam));
        if (control && control->design.kind == ControlKind::kCommandButton && HIWORD(wparam) == BN_CLICKED)
          Raise(control->on_click);
        if (control && control->design.kind == ControlKind::kLabel && HIWORD(wparam) == STN_DBLCLK)
          Raise(control->on_dbl_click);
        return TRUE;
      }
      case WM_CLOSE:
        // The close box (or Alt+F4) unloads the form just as its own code would.
        dialog->form_.Unload();
        return TRUE;
      case WM_CTLCOLORSTATIC: {
        const Control* control = dialog->ControlOf(reinterpret_cast<HWND>(lparam));
        if (!control) return FALSE;
        const HDC dc = reinterpret_cast<HDC>(wparam);
        ::SetTextColor(dc, control->design.link ? LinkColor() : ::GetSysColor(COLOR_BTNTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      case WM_SETCURSOR: {
        const Control* control = dialog->ControlOf(reinterpret_cast<HWND>(wparam));
        if (!control || !control->design.link) return FALSE;
        ::SetCursor(PointingHand());
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      case WM_GETFONT:
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(dialog->form_font_));
        return TRUE;
      case WM_SYSCOLORCHANGE:
      case WM_SETTINGCHANGE:
        // High contrast turned on or off while the box is open: the link takes its colour again.
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return FALSE;
      case WM_DPICHANGED:
        // Sent to windows of hosts that are aware of each monitor's DPI, when the box moves to another one.
        Raise([&] { dialog->Rescale(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); });
        return TRUE;
      case WM_DESTROY:
        ::RemovePropW(hwnd, kDialogProperty);
        dialog->hwnd_ = nullptr;
        return FALSE;
      default:
        return FALSE;
    }
  }

  Form& form_;
  // Task-modal: the thread's other windows take no input while the box is shown.
  TaskModalWindows other_windows_;
  HWND hwnd_ = nullptr;
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  HFONT form_font_ = nullptr;
  // The controls' windows, in the order of the form's controls.
  std::vector<HWND> children_;
  // Outlive the link labels' windows, which use them until their last message.
  std::vector<std::unique_ptr<LinkLabel>> links_;
  // Deleted after the dialog and its controls, which use them until then.
  std::vector<std::pair<FontValue, UniqueHFont>> fonts_;
  std::exception_ptr failure_;
};

void Control::ResetToDesign() {
  caption = design.caption;
  tag.clear();
  visible = true;
  left = design.left;
  width = design.width;
  font = design.font;
  link_action = design.link_action;
}

Form::Form(FormDesign design) : caption(design.caption), font(design.font), design_(std::move(design)) {}

Form::~Form() = default;

Control& Form::AddControl(ControlDesign design) {
  controls_.push_back(std::make_unique<Control>(std::move(design)));
  return *controls_.back();
}

void Form::RequireNotShown() const {
  if (dialog_) throw Error(kErrAlreadyShownModally, u"Form already displayed; can't show modally");
}

HWND Form::hWnd() const { return dialog_ ? dialog_->hwnd() : nullptr; }

int Form::Dpi() const { return dialog_ ? dialog_->dpi() : 0; }

void Form::Load() {
  if (loaded_) return;
  // Loaded before the start-up runs, so that the start-up may use the form freely.
  loaded_ = true;
  caption = design_.caption;
  font = design_.font;
  for (const auto& control : controls_) control->ResetToDesign();
  Form_Load();
}

void Form::ShowModal() {
  RequireNotShown();
  // Whatever way this ends, a form without a window is not loaded: one that is
  // refused here is loaded afresh by the next showing.
  struct Ended {
    Form& form;
    ~Ended() { form.dialog_ = nullptr, form.loaded_ = false; }
  } ended{*this};
  if (!SomebodySees()) ThrowSystemError(ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION);
  Load();
  Dialog dialog(*this);
  // Shown from here on, so that a call that comes in while the window is made finds it so.
  dialog_ = &dialog;
  dialog.Run();
}

void Form::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (dialog_) dialog_->Close();
}

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

}  // namespace velko::forms
