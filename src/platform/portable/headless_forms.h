// A forms runtime without windows, for native tests: it records what each
// showing of a form would put on the screen and lets a test play the user
// (clicks, the close box, Ctrl+C) while the form is shown. The rest of the
// keyboard (Enter, Escape, Tab) is the real dialog manager's business and is
// tested there.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms.h"

namespace velko::forms {

class HeadlessFormRuntime final : public FormRuntime {
 public:
  struct ControlView {
    std::string name;
    ControlKind kind;
    std::u16string caption;
    std::u16string tag;
    bool visible;
    float left, top, width, height;
    bool has_font;
    FontValue font;  // meaningful when has_font
    Color fore_color;
    MousePointer mouse_pointer;
  };
  // A form as it would appear when it becomes visible.
  struct Showing {
    std::string form;
    std::u16string caption;
    FontValue font;
    float scale_width, scale_height;
    WindowHandle owner;
    std::vector<ControlView> controls;  // tab order
    const ControlView& operator[](std::string_view name) const;
  };

  std::vector<Showing> showings;
  // Property changes that reached the shown window: control name ("" for the
  // form) and property.
  std::vector<std::pair<std::string, Property>> changes;
  // The pixels per inch that windows are shown at.
  int dpi = 96;
  // What the clipboard holds: the last text that Ctrl+C put there.
  std::u16string clipboard;

  // Plays the user while a form is shown. It has to end the showing (a button
  // that unloads the form, the close box); a form left open makes RunModal throw
  // std::logic_error after taking the window down.
  std::function<void(HeadlessFormRuntime& ui, Form& form)> user;

  void RunModal(Form& form, WindowHandle owner) override;

  // User actions on the form that is shown; std::logic_error when none is shown
  // or the control cannot be reached (unknown or hidden).
  void Click(std::string_view control);
  void DblClick(std::string_view control);
  void CloseBox();  // the frame's close box: unloads the form
  void CtrlC();     // copies the form's ClipboardText, unless it is empty

 private:
  class Session;
  Session& Current() const;
  Control& Find(std::string_view name) const;
  std::vector<Session*> sessions_;  // nested showings, innermost last
};

}  // namespace velko::forms
