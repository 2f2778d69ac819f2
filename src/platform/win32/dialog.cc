// The dialog that shows a form. It comes from an in-memory template that holds
// only the frame; the controls are created in WM_INITDIALOG. The dialog manager
// would create a template's font with the default character set, losing the
// locale's, so the form keeps its own HFONT and answers WM_GETFONT with it.
// Twips become pixels at the DPI of the window. The dialog's controls are made
// in the activation context of the module's own manifest (common controls 6),
// so the dialog has the system's visual styles whatever the host's manifest says;
// its modal loop runs in the host's, so that host code the loop calls (timers,
// incoming calls) makes its windows as the host would. The members of Form that
// show it and take it down are defined here, beside it.
#include "platform/win32/forms.h"

#include <algorithm>
#include <exception>

#include "platform/error.h"
#include "platform/win32/display.h"
#include "platform/win32/form_event.h"
#include "platform/win32/key_preview.h"
#include "platform/win32/link_label.h"
#include "platform/win32/own_module.h"
#include "platform/win32/task_modal.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::forms {
namespace detail {
namespace {

// Control identifiers start clear of IDOK (1) and IDCANCEL (2), which the
// dialog manager sends for Enter without a default button and for Escape.
constexpr int kFirstControlId = 100;

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
    // Keys reach the dialog manager's loop, not the procedure: the form sees them in its filter.
    UniqueHHook keyboard(::SetWindowsHookExW(WH_MSGFILTER, &KeyboardFilter, nullptr, ::GetCurrentThreadId()));
    const INT_PTR result =
        ::DialogBoxIndirectParamW(platform::OwnModule(), t, nullptr, &Proc, reinterpret_cast<LPARAM>(this));
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

  // Gives every control its font and place at the current DPI. The fonts are
  // all made first: when one cannot be, every control keeps the one it has.
  void LayOut() {
    std::vector<HFONT> fonts;
    for (const auto& control : form_.Controls()) fonts.push_back(FontFor(control->font));
    form_font_ = FontFor(form_.font);
    for (size_t i = 0; i < children_.size(); ++i) {
      const Control& c = *form_.Controls()[i];
      ::SendMessageW(children_[i], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[i]), FALSE);
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
                                  hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), platform::OwnModule(), nullptr);
    if (!hwnd) ThrowSystemError(::GetLastError());
    children_.push_back(hwnd);
    if (control.design.is_default) ::SendMessageW(hwnd_, DM_SETDEFID, id, 0);
    if (!control.design.link) return;
    links_.push_back(std::make_unique<LinkLabel>(control, form_.ModuleUse()));
    links_.back()->Attach(hwnd);
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
    ::SetPropW(hwnd, kFormProperty, &form_);
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
    // The old fonts are deleted at the end, when no control uses them any more;
    // kept, with their size, when the new ones cannot all be made.
    auto old_fonts = std::move(fonts_);
    const int old_dpi = std::exchange(dpi_, dpi);
    fonts_.clear();
    try {
      LayOut();
    } catch (...) {
      fonts_ = std::move(old_fonts), dpi_ = old_dpi;
      throw;
    }
    // The system's frame keeps the dialog where it is; another could take it back to the first monitor.
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
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
        // Escape sends IDCANCEL, which has no control: a form has no cancel button.
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
      case WM_GETFONT:
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(dialog->form_font_));
        return TRUE;
      case WM_SYSCOLORCHANGE:
      case WM_SETTINGCHANGE:
        // High contrast turned on or off while the dialog is open: the link takes its colour again.
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return FALSE;
      case WM_DPICHANGED:
        // Sent to windows of hosts that are aware of each monitor's DPI, when the dialog moves to another one.
        Raise([&] { dialog->Rescale(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); });
        return TRUE;
      case WM_DESTROY:
        ::RemovePropW(hwnd, kFormProperty);
        dialog->hwnd_ = nullptr;
        return FALSE;
      default:
        return FALSE;
    }
  }

  Form& form_;
  // Task-modal: the thread's other windows take no input while the dialog is shown.
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

}  // namespace detail

HWND Form::hWnd() const { return dialog_ ? dialog_->hwnd() : nullptr; }

int Form::Dpi() const { return dialog_ ? dialog_->dpi() : 0; }

void Form::ShowModal() {
  RequireNotShown();
  // Whatever way this ends, a form without a window is not loaded: one that is
  // refused here is loaded afresh by the next showing.
  struct Ended {
    Form& form;
    ~Ended() { form.dialog_ = nullptr, form.loaded_ = false; }
  } ended{*this};
  if (!detail::SomebodySees()) ThrowSystemError(ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION);
  Load();
  detail::Dialog dialog(*this);
  // Shown from here on, so that a call that comes in while the window is made finds it so.
  dialog_ = &dialog;
  dialog.Run();
}

void Form::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (dialog_) dialog_->Close();
}

}  // namespace velko::forms
