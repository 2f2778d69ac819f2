// The component's forms layer: forms with labels and command buttons, their
// properties and events, and the real modal dialog that shows a form.
//
// A form is a design (its own caption, font and client size, and a list of
// controls with their design values) plus the current values of all those
// properties. Loading a form resets every property to its design value and then
// runs the form's own start-up (Form_Load); showing it builds a modal dialog
// from the current values, which calls the controls' event handlers. Unloading takes the window down; the next load starts again from
// the design. Lengths are twips (1/1440 inch); sizes of fonts are points.
//
// Property setters raise automation errors (velko::Error) as a forms runtime
// does: 380 for an invalid value, 438 for a property that the control does not
// have, 400 for a modal show of a form that is already shown.
//
// Everything here runs on the thread that owns the form; nothing is locked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velko::forms {

// An opaque window handle (HWND on Windows); nullptr when there is no window.
using WindowHandle = void*;

inline constexpr int32_t kErrAlreadyShownModally = 400;
inline constexpr int32_t kErrInvalidPropertyValue = 380;
inline constexpr int32_t kErrNoSuchProperty = 438;

// A colour as automation stores it (OLE_COLOR): 0x00BBGGRR for an RGB value, or
// 0x800000nn for system colour nn.
using Color = uint32_t;
constexpr Color Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}
// The system's button-text colour, the default text colour of controls.
inline constexpr Color kButtonTextColor = 0x80000012;

enum class MousePointer {
  kDefault,       // whatever the control shows normally
  kPointingHand,  // the hand over links; hot spot at the fingertip
};

struct FontValue {
  std::u16string name = u"Tahoma";
  int16_t charset = 0;
  float size = 8.25f;
  bool bold = false;
  bool underline = false;

  // The weight the font is drawn with: 700 bold, 400 regular.
  int16_t weight() const { return bold ? 700 : 400; }
  bool operator==(const FontValue&) const = default;
};

// The standard font object of a form or control.
class Font final {
 public:
  explicit Font(std::function<void()> changed) : changed_(std::move(changed)) {}
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const FontValue& value() const { return value_; }
  // Replaces every property at once (a load from the design).
  void Assign(const FontValue& value);

  void SetCharset(int16_t charset);
  // Any face name is taken; one the system lacks is replaced when drawn.
  void SetName(const std::u16string& name);
  // 380 unless 0 < points <= 2160.
  void SetSize(float points);
  void SetBold(bool bold);
  void SetUnderline(bool underline);

 private:
  void Changed();
  FontValue value_;
  std::function<void()> changed_;
};

enum class ControlKind { kLabel, kCommandButton, kOther };

// What the dialog is told when a property of a shown form changes.
enum class Property { kCaption, kTag, kVisible, kPosition, kFont, kForeColor, kMousePointer };

struct ControlDesign {
  std::u16string caption;
  std::u16string tag;
  bool visible = true;
  float left = 0, top = 0, width = 0, height = 0;
  FontValue font;  // kinds without a font ignore it
  Color fore_color = kButtonTextColor;
  MousePointer mouse_pointer = MousePointer::kDefault;
};

class Form;

class Control {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  ControlKind kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  const ControlDesign& design() const { return design_; }

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption);
  // A free text that the control keeps for its form's code; never shown.
  const std::u16string& Tag() const { return tag_; }
  void SetTag(std::u16string tag);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float twips);
  void SetTop(float twips);
  // 380 for a negative size.
  void SetWidth(float twips);
  void SetHeight(float twips);
  Color ForeColor() const { return fore_color_; }
  void SetForeColor(Color color);
  MousePointer GetMousePointer() const { return mouse_pointer_; }
  void SetMousePointer(MousePointer pointer);

  // The control's own font; 438 for kinds that have none.
  Font& GetFont();
  const Font& GetFont() const { return const_cast<Control*>(this)->GetFont(); }
  bool HasFont() const { return font_ != nullptr; }
  // Whether the control takes the focus when it is tabbed to.
  virtual bool TabStop() const { return false; }

  // Event handlers, set by the form's code.
  std::function<void()> on_click;
  std::function<void()> on_dbl_click;
  // Raise the events (for the dialog): each runs its handler when one is set.
  void Click();
  void DblClick();

 protected:
  // `font` is the control's own font object, or nullptr for a kind with none.
  Control(ControlKind kind, std::string name, ControlDesign design, Font* font);
  void Notify(Property what);

 private:
  friend class Form;
  void ResetToDesign();

  ControlKind kind_;
  std::string name_;
  ControlDesign design_;
  Font* font_;
  Form* form_ = nullptr;

  std::u16string caption_;
  std::u16string tag_;
  bool visible_ = true;
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  Color fore_color_ = kButtonTextColor;
  MousePointer mouse_pointer_ = MousePointer::kDefault;
};

class Label final : public Control {
 public:
  // `use_mnemonic`: an "&" in the caption underlines the next character, as
  // for buttons; false shows every "&" as it is. `link`: the label is a link
  // label, which shows a link whenever its caption is not empty.
  Label(std::string name, ControlDesign design, bool use_mnemonic = true, bool link = false);
  bool UseMnemonic() const { return use_mnemonic_; }
  bool IsLinkLabel() const { return link_; }
  // Whether the label shows a link now: a link label with a caption. Such a
  // label is a tab stop; its link opens on a double-click, on Space while it
  // has the focus and on assistive technology's default action, all three
  // raising DblClick. Assistive technology meets it as a link named by the
  // caption whose value is the tag (the address).
  bool ShowsLink() const { return link_ && !Caption().empty(); }
  bool TabStop() const override { return ShowsLink(); }
  // The caption as read aloud: without the "&" marks of an access key.
  std::u16string AccessibleName() const;

 private:
  Font font_;
  bool use_mnemonic_;
  bool link_;
};

struct ButtonRole {
  bool is_default = false;  // pressed by Enter when no other button has the focus
  bool is_cancel = false;   // pressed by Escape
};

class CommandButton final : public Control {
 public:
  CommandButton(std::string name, ControlDesign design, ButtonRole role = {});
  bool Default() const { return role_.is_default; }
  bool Cancel() const { return role_.is_cancel; }
  bool TabStop() const override { return true; }

 private:
  Font font_;
  ButtonRole role_;
};

// The live modal dialog of a shown form (win32/dialog_session.h).
class DialogSession;

struct FormDesign {
  std::u16string caption;
  FontValue font;
  float scale_width = 0;   // the client area, twips
  float scale_height = 0;
};

class Form {
 public:
  Form(std::string name, FormDesign design);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  const std::string& Name() const { return name_; }
  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption);
  // The form's font, which the dialog reports as the font of the window.
  Font& GetFont() { return font_; }
  const Font& GetFont() const { return font_; }
  float ScaleWidth() const { return design_.scale_width; }
  float ScaleHeight() const { return design_.scale_height; }

  // The controls in tab order, which is also the order of the collection.
  const std::vector<Control*>& Controls() const { return controls_; }
  // The button that Enter presses, and the one that Escape presses; nullptr when none.
  CommandButton* DefaultButton() const;
  CommandButton* CancelButton() const;

  // Whether the form's window is laid out right to left, mirrored as Windows
  // mirrors dialogs in Arabic and Hebrew; read when the window is made.
  bool RightToLeft() const { return right_to_left_; }
  void SetRightToLeft(bool right_to_left) { right_to_left_ = right_to_left; }

  bool IsLoaded() const { return loaded_; }
  bool IsShown() const { return session_ != nullptr; }
  // 400 when the form is shown.
  void RequireNotShown() const;
  // The form's window while it is shown, else nullptr.
  WindowHandle hWnd() const;
  // The pixels per inch of the shown form's window; 0 when it is not shown.
  int Dpi() const;

  // The text that Ctrl+C in the shown form puts on the clipboard, as a message
  // box offers its text. Empty (this default) leaves the clipboard alone.
  virtual std::u16string ClipboardText() { return {}; }

  // Nothing when loaded; otherwise every property goes back to its design value
  // and Form_Load runs. An error that Form_Load lets out reaches the caller, with
  // the form loaded.
  void Load();
  // Loads the form if needed and shows it modally as a real dialog, task-modal:
  // the thread's enabled top-level windows (the owner, if any, among them) are
  // disabled meanwhile and enabled again when it unloads. Returns when it has
  // unloaded or its window is gone. 400 when it is already shown. Ctrl+C in the window puts ClipboardText
  // on the clipboard.
  void ShowModal(WindowHandle owner = nullptr);
  // Nothing when not loaded; otherwise the window (if any) is told to go, the
  // form is no longer loaded or shown and changes no longer reach the window.
  // The properties keep their values until the next load.
  void Unload();

 protected:
  // The form's start-up, run by Load after the reset to design values.
  virtual void Form_Load() {}
  // Adds a control at the end of the tab order; the form owns it.
  template <typename C, typename... Args>
  C& AddControl(Args&&... args) {
    auto control = std::make_unique<C>(std::forward<Args>(args)...);
    C& ref = *control;
    Adopt(std::move(control));
    return ref;
  }

 private:
  friend class Control;
  friend class DialogSession;
  void Adopt(std::unique_ptr<Control> control);
  void Notify(const Control* control, Property what);

  std::string name_;
  FormDesign design_;
  std::u16string caption_;
  Font font_;
  std::vector<std::unique_ptr<Control>> owned_;
  std::vector<Control*> controls_;
  bool loaded_ = false;
  bool right_to_left_ = false;
  DialogSession* session_ = nullptr;
};

// Twips to pixels at `dpi` pixels per inch (1440 twips), rounded to the nearest pixel.
int TwipsToPixels(float twips, int dpi);

}  // namespace velko::forms
