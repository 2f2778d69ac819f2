// The forms runtime on Windows: each showing is a real modal dialog.
//
// The dialog comes from an in-memory template that holds only the frame; the
// controls are created in WM_INITDIALOG from the form's current properties, each
// with a font of its own. The dialog manager would create a template's font with
// the default character set, which loses the locale's charset, so the form keeps
// its own HFONT too and answers WM_GETFONT with it.
#include <windows.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/forms.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::forms {
namespace {

// Control identifiers start clear of IDOK (1) and IDCANCEL (2), which the
// dialog manager sends for Enter without a default button and for Escape.
constexpr int kFirstControlId = 100;

// The custom pointing-hand cursor in the resources of the module that holds
// this code (VELKO.dll); the system's hand serves where it is missing.
constexpr int kPointingHandCursorId = 201;

constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
constexpr DWORD kFrameExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HMODULE OwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
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

// A dialog template with the frame only: no menu, the dialog class, no title
// (the caption is set with the controls), no font and no controls.
std::vector<WORD> FrameTemplate() {
  std::vector<WORD> words((sizeof(DLGTEMPLATE) + 1) / 2 + 3, 0);
  auto* t = reinterpret_cast<DLGTEMPLATE*>(words.data());
  t->style = kFrameStyle;
  t->dwExtendedStyle = kFrameExStyle;
  return words;
}

class DialogSession final : public FormPeer {
 public:
  explicit DialogSession(Form& form) : form_(form) {}

  void Run(WindowHandle owner) {
    const std::vector<WORD> frame = FrameTemplate();
    const INT_PTR result =
        ::DialogBoxIndirectParamW(OwnModule(), reinterpret_cast<const DLGTEMPLATE*>(frame.data()),
                                  static_cast<HWND>(owner), &DialogSession::Proc, reinterpret_cast<LPARAM>(this));
    if (failure_) std::rethrow_exception(failure_);
    if (result == -1) ThrowLastError();
  }

  // FormPeer
  WindowHandle Window() const override { return hwnd_; }
  void Changed(const Control* control, Property what) override;
  void Close() override {
    if (hwnd_) ::EndDialog(hwnd_, 0);
  }

 private:
  struct Child {
    Control* control;
    HWND hwnd;
  };
  struct SharedFont {
    FontValue value;
    UniqueHFont font;
  };

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Initialize(HWND hwnd);
  void CreateChild(Control& control, int id);
  INT_PTR OnCommand(int id, int code);
  Child* Find(HWND hwnd);
  Child* Find(const Control* control);
  int X(float twips) const { return TwipsToPixels(twips, dpi_x_); }
  int Y(float twips) const { return TwipsToPixels(twips, dpi_y_); }
  UniqueHFont MakeFont(const FontValue& font) const;
  // One font object per distinct value: most controls share the form's.
  HFONT FontFor(const FontValue& font);
  void Place(const Child& child) const;
  // Runs an event handler of the form. Nothing may unwind through the system's
  // message dispatch, so a handler's failure ends that handler only.
  template <typename Handler>
  void Raise(Handler&& handler) noexcept {
    try {
      handler();
    } catch (...) {
    }
  }

  Form& form_;
  HWND hwnd_ = nullptr;
  int dpi_x_ = 96;
  int dpi_y_ = 96;
  HFONT form_font_ = nullptr;
  std::vector<Child> children_;
  // Deleted after the dialog and its controls, which use them until then.
  std::vector<SharedFont> fonts_;
  std::exception_ptr failure_;
};

UniqueHFont DialogSession::MakeFont(const FontValue& font) const {
  LOGFONTW lf{};
  lf.lfHeight = -TwipsToPixels(font.size * 20, dpi_y_);  // 20 twips to the point
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
  DWORD style = WS_CHILD | (control.Visible() ? WS_VISIBLE : 0);
  const wchar_t* window_class;
  if (control.kind() == ControlKind::kLabel) {
    window_class = L"STATIC";
    // SS_NOTIFY: the label gets the mouse, for its click events and its pointer.
    style |= SS_LEFT | SS_NOTIFY | (static_cast<Label&>(control).UseMnemonic() ? 0 : SS_NOPREFIX);
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
}

void DialogSession::Initialize(HWND hwnd) {
  hwnd_ = hwnd;
  HDC screen = ::GetDC(nullptr);
  dpi_x_ = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);

  ::SetWindowTextW(hwnd, AsWide(form_.Caption()));
  form_font_ = FontFor(form_.GetFont().value());

  // The client area has the form's size; the frame goes round it, centred on the screen.
  RECT frame{0, 0, X(form_.ScaleWidth()), Y(form_.ScaleHeight())};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  ::SetWindowPos(hwnd, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

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
  form_.SetPeer(this);
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
    case WM_DESTROY:
      // The window goes: the form has no peer any more, whatever ended the loop.
      session->form_.DropPeer(session);
      session->hwnd_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

class Win32FormRuntime final : public FormRuntime {
 public:
  void RunModal(Form& form, WindowHandle owner) override {
    DialogSession session(form);
    session.Run(owner);
  }
};

}  // namespace

FormRuntime& DefaultFormRuntime() {
  static Win32FormRuntime runtime;
  return runtime;
}

}  // namespace velko::forms
