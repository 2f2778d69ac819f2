// The modal dialog that shows a form: each showing is a real dialog built from
// the form's current properties, whose controls raise the form's events.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <vector>

#include "platform/forms.h"
#include "platform/win32/unique_handle.h"

namespace velko::forms {

class DialogSession final {
 public:
  explicit DialogSession(Form& form);
  ~DialogSession();

  // Builds the window of the form from its current properties and runs its
  // modal loop; returns when the form unloads or the window is gone. Throws the
  // system's error when the window cannot be made.
  void Run(WindowHandle owner);

  WindowHandle Window() const { return hwnd_; }
  // The pixels per inch that the window's twips are converted with.
  int Dpi() const { return dpi_; }
  // A property of the form (control == nullptr) or of one of its controls changed.
  void Changed(const Control* control, Property what);
  // The form unloads: end the modal loop and take the window down. The
  // thread's windows are enabled first, so that one of them is activated next.
  void Close() {
    other_windows_.Restore();
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
  // What the window of a link label keeps beside the system's static control (forms.cc).
  struct LabelWindow;

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK KeyboardFilter(int code, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Initialize(HWND hwnd);
  // Sizes the frame round a client area of the form's size, centred on the screen.
  void FitFrame();
  // Lays the controls out again at `dpi`, with fonts of that size, in the frame `suggested`.
  void Rescale(int dpi, const RECT& suggested);
  void CopyToClipboard() noexcept;
  void CreateChild(Control& control, int id);
  INT_PTR OnCommand(int id, int code);
  Child* Find(HWND hwnd);
  Child* Find(const Control* control);
  int X(float twips) const { return TwipsToPixels(twips, dpi_); }
  int Y(float twips) const { return TwipsToPixels(twips, dpi_); }
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
  // Task-modal: the thread's other windows take no input while the box is shown.
  ScopedThreadWindowsDisabled other_windows_;
  HWND hwnd_ = nullptr;
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  HFONT form_font_ = nullptr;
  std::vector<Child> children_;
  // Outlive the link labels' windows, which use them until their last message.
  std::vector<std::unique_ptr<LabelWindow>> labels_;
  // Deleted after the dialog and its controls, which use them until then.
  std::vector<SharedFont> fonts_;
  std::exception_ptr failure_;
};

}  // namespace velko::forms
