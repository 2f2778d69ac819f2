// The component's forms: a form with labels and command buttons, their design
// values and current properties, and the real modal dialog that shows it.
//
// Loading a form resets every property to its design value and then runs the
// form's own start-up (Form_Load); showing it builds a modal dialog from the
// current values once, at the DPI of its window, and runs the controls' event
// handlers from it. Nothing changes a shown form's controls, so the dialog
// reads them only when it is made (and again at a change of DPI). Lengths are
// twips (1/1440 inch); sizes of fonts are points.
//
// Everything here runs on the thread that owns the form; nothing is locked.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velko::forms {

// The automation error of a modal show of a form that is already shown.
inline constexpr int32_t kErrAlreadyShownModally = 400;

// The keys held with a pressed key, as Form::KeyDown gets them.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;

struct FontValue {
  std::u16string name = u"Tahoma";
  int16_t charset = 0;
  float size = 8.25f;
  bool bold = false;
  bool underline = false;
  bool operator==(const FontValue&) const = default;
};

enum class ControlKind { kLabel, kCommandButton };

// What a control is at design time; its properties start from these at every load.
struct ControlDesign {
  ControlKind kind = ControlKind::kLabel;
  std::u16string caption;
  float left = 0, top = 0, width = 0, height = 0;
  FontValue font;
  // A command button that Enter presses unless another button has the focus.
  bool is_default = false;
  // A label that is a link: pure blue text and the pointing hand over it. While
  // its caption is not empty it shows a link: it is a tab stop with a focus
  // rectangle, opens on a double-click, on Space and on assistive technology's
  // default action (all three raise on_dbl_click), and a screen reader meets it
  // as a link named by the caption whose value is the tag.
  bool link = false;
  // The name of a link's default action, as assistive technology reads it.
  std::u16string link_action;
};

// A label or command button: its design and its current properties, which go
// back to the design at every load of its form. Labels show every "&" of their
// caption as it is.
struct Control {
  explicit Control(ControlDesign control_design) : design(std::move(control_design)) { ResetToDesign(); }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  void ResetToDesign();
  bool ShowsLink() const { return design.link && !caption.empty(); }
  bool TabStop() const { return design.kind == ControlKind::kCommandButton || ShowsLink(); }

  const ControlDesign design;
  std::u16string caption;
  // A free text that the form's code keeps with the control; never shown.
  std::u16string tag;
  bool visible = true;
  float left = 0, width = 0;
  FontValue font;
  std::u16string link_action;
  // Event handlers, set by the form's code: a button's click, a link's opening.
  std::function<void()> on_click;
  std::function<void()> on_dbl_click;
};

// The live modal dialog of a shown form (dialog.cc).
namespace detail {
class Dialog;
}

struct FormDesign {
  std::u16string caption;
  FontValue font;
  float scale_width = 0;  // the client area, twips
  float scale_height = 0;
  // Held by what the shown form hands out that may outlive it (a link's
  // accessible object that a screen reader keeps), so that the module holding
  // their code stays in use meanwhile; none where nothing can unload that code.
  IUnknown* module_use = nullptr;
};

class Form {
 public:
  explicit Form(FormDesign design);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  float ScaleWidth() const { return design_.scale_width; }
  float ScaleHeight() const { return design_.scale_height; }
  IUnknown* ModuleUse() const { return design_.module_use; }
  // The controls in tab order, which is also the order of the collection.
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

  // Whether the window is laid out right to left, mirrored as Windows mirrors
  // dialogs in Arabic and Hebrew; read when the window is made.
  bool RightToLeft() const { return right_to_left_; }
  void SetRightToLeft(bool right_to_left) { right_to_left_ = right_to_left; }

  bool IsShown() const { return dialog_ != nullptr; }
  // 400 when the form is shown.
  void RequireNotShown() const;
  // The form's window while it is shown, else nullptr.
  HWND hWnd() const;
  // The pixels per inch of the shown form's window; 0 when it is not shown.
  int Dpi() const;

  // A key pressed in the shown form's window, before the control with the focus
  // sees it: `key_code` is its virtual-key code, `shift` the masks of the keys
  // held with it (kShiftMask, kCtrlMask, kAltMask). True takes the key: the
  // control does not get it. One that fails takes it too. This default takes none.
  virtual bool KeyDown(int key_code, int shift);

  // Nothing when loaded; otherwise every property goes back to its design value
  // and Form_Load runs. An error that Form_Load lets out reaches the caller, with
  // the form loaded.
  void Load();
  // Loads the form if needed and shows it modally as a real dialog, task-modal:
  // the thread's enabled top-level windows are disabled meanwhile and enabled
  // again when it unloads (one that owns a modal box opened meanwhile when that
  // box has closed). Returns when it has unloaded or its window is gone. 400
  // when it is already shown; 1459 (ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION) at
  // once where nobody sees the thread's desktop (a window station that is not
  // visible, session 0, a desktop that is not the default one and not taking
  // input); the system's error when the window cannot be made. Every failure but
  // the first leaves the form unloaded.
  void ShowModal();
  // Nothing when not loaded; otherwise the window (if any) is told to go and the
  // form is no longer loaded. The properties keep their values until the next load.
  void Unload();

 protected:
  // The form's start-up, run by Load after the reset to design values.
  virtual void Form_Load() {}
  // Adds a control at the end of the tab order; the form owns it.
  Control& AddControl(ControlDesign design);

 public:
  // The current caption and font (which the dialog reports as the window's),
  // back to the design at every load.
  std::u16string caption;
  FontValue font;

 private:
  const FormDesign design_;
  std::vector<std::unique_ptr<Control>> controls_;
  bool loaded_ = false;
  bool right_to_left_ = false;
  detail::Dialog* dialog_ = nullptr;
};

// Twips to pixels at `dpi` pixels per inch (1440 twips), rounded to the nearest pixel.
int TwipsToPixels(float twips, int dpi);

}  // namespace velko::forms
