#include "platform/forms.h"

#include <cmath>
#include <utility>

#include "platform/error.h"
#include "platform/win32/dialog_session.h"

namespace velko::forms {
namespace {

[[noreturn]] void ThrowInvalidValue() { throw Error(kErrInvalidPropertyValue, u"Invalid property value"); }

// The largest size a font of the forms runtime may have, in points.
constexpr float kMaxFontSize = 2160;

}  // namespace

void Font::Assign(const FontValue& value) {
  value_ = value;
  Changed();
}

void Font::SetCharset(int16_t charset) {
  value_.charset = charset;
  Changed();
}

void Font::SetName(const std::u16string& name) {
  value_.name = name;
  Changed();
}

void Font::SetSize(float points) {
  // Written so that a NaN fails too.
  if (!(points > 0 && points <= kMaxFontSize)) ThrowInvalidValue();
  value_.size = points;
  Changed();
}

void Font::SetBold(bool bold) {
  value_.bold = bold;
  Changed();
}

void Font::SetUnderline(bool underline) {
  value_.underline = underline;
  Changed();
}

void Font::Changed() {
  if (changed_) changed_();
}

// `font` points at a member of the derived control that is not constructed yet:
// it is only stored here, and the derived constructor gives it its design value.
Control::Control(ControlKind kind, std::string name, ControlDesign design, Font* font)
    : kind_(kind),
      name_(std::move(name)),
      design_(std::move(design)),
      font_(font),
      caption_(design_.caption),
      tag_(design_.tag),
      visible_(design_.visible),
      left_(design_.left),
      top_(design_.top),
      width_(design_.width),
      height_(design_.height),
      fore_color_(design_.fore_color),
      mouse_pointer_(design_.mouse_pointer) {}

Control::~Control() = default;

void Control::ResetToDesign() {
  caption_ = design_.caption;
  tag_ = design_.tag;
  visible_ = design_.visible;
  left_ = design_.left;
  top_ = design_.top;
  width_ = design_.width;
  height_ = design_.height;
  fore_color_ = design_.fore_color;
  mouse_pointer_ = design_.mouse_pointer;
  if (font_) font_->Assign(design_.font);
}

void Control::Notify(Property what) {
  if (form_) form_->Notify(this, what);
}

void Control::SetCaption(std::u16string caption) {
  caption_ = std::move(caption);
  Notify(Property::kCaption);
}

void Control::SetTag(std::u16string tag) {
  tag_ = std::move(tag);
  Notify(Property::kTag);
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  Notify(Property::kVisible);
}

void Control::SetLeft(float twips) {
  left_ = twips;
  Notify(Property::kPosition);
}

void Control::SetTop(float twips) {
  top_ = twips;
  Notify(Property::kPosition);
}

void Control::SetWidth(float twips) {
  if (!(twips >= 0)) ThrowInvalidValue();
  width_ = twips;
  Notify(Property::kPosition);
}

void Control::SetHeight(float twips) {
  if (!(twips >= 0)) ThrowInvalidValue();
  height_ = twips;
  Notify(Property::kPosition);
}

void Control::SetForeColor(Color color) {
  fore_color_ = color;
  Notify(Property::kForeColor);
}

void Control::SetMousePointer(MousePointer pointer) {
  mouse_pointer_ = pointer;
  Notify(Property::kMousePointer);
}

Font& Control::GetFont() {
  if (!font_) throw Error(kErrNoSuchProperty, u"Object doesn't support this property or method");
  return *font_;
}

void Control::Click() {
  if (on_click) on_click();
}

void Control::DblClick() {
  if (on_dbl_click) on_dbl_click();
}

Label::Label(std::string name, ControlDesign design, bool use_mnemonic, bool link)
    : Control(ControlKind::kLabel, std::move(name), std::move(design), &font_),
      font_([this] { Notify(Property::kFont); }),
      use_mnemonic_(use_mnemonic),
      link_(link) {
  font_.Assign(this->design().font);
}

std::u16string Label::AccessibleName() const {
  if (!use_mnemonic_) return Caption();
  // "&&" shows one "&"; a single "&" only marks the access key.
  std::u16string name;
  const std::u16string& caption = Caption();
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && ++i == caption.size()) break;
    name += caption[i];
  }
  return name;
}

CommandButton::CommandButton(std::string name, ControlDesign design, ButtonRole role)
    : Control(ControlKind::kCommandButton, std::move(name), std::move(design), &font_),
      font_([this] { Notify(Property::kFont); }),
      role_(role) {
  font_.Assign(this->design().font);
}

Form::Form(std::string name, FormDesign design)
    : name_(std::move(name)),
      design_(std::move(design)),
      caption_(design_.caption),
      font_([this] { Notify(nullptr, Property::kFont); }) {
  font_.Assign(design_.font);
}

Form::~Form() = default;

void Form::SetCaption(std::u16string caption) {
  caption_ = std::move(caption);
  Notify(nullptr, Property::kCaption);
}

CommandButton* Form::DefaultButton() const {
  for (Control* c : controls_)
    if (c->kind() == ControlKind::kCommandButton && static_cast<CommandButton*>(c)->Default())
      return static_cast<CommandButton*>(c);
  return nullptr;
}

CommandButton* Form::CancelButton() const {
  for (Control* c : controls_)
    if (c->kind() == ControlKind::kCommandButton && static_cast<CommandButton*>(c)->Cancel())
      return static_cast<CommandButton*>(c);
  return nullptr;
}

void Form::Adopt(std::unique_ptr<Control> control) {
  control->form_ = this;
  controls_.push_back(control.get());
  owned_.push_back(std::move(control));
}

WindowHandle Form::hWnd() const { return session_ ? session_->Window() : nullptr; }

int Form::Dpi() const { return session_ ? session_->Dpi() : 0; }

void Form::Notify(const Control* control, Property what) {
  if (session_) session_->Changed(control, what);
}

void Form::Load() {
  if (loaded_) return;
  // Loaded before the start-up runs, so that the start-up may use the form freely.
  loaded_ = true;
  caption_ = design_.caption;
  font_.Assign(design_.font);
  for (Control* c : controls_) c->ResetToDesign();
  Form_Load();
}

void Form::RequireNotShown() const {
  if (session_) throw Error(kErrAlreadyShownModally, u"Form already displayed; can't show modally");
}

void Form::ShowModal(WindowHandle owner) {
  RequireNotShown();
  Load();
  // Whatever way the modal loop ends, a form without a window is not loaded.
  struct Ended {
    Form& form;
    ~Ended() {
      form.session_ = nullptr;
      form.loaded_ = false;
    }
  } ended{*this};
  // Shown from here on, so that a call that comes in while the window is made finds it so.
  DialogSession session(*this);
  session_ = &session;
  session.Run(owner);
}

void Form::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (DialogSession* session = std::exchange(session_, nullptr)) session->Close();
}

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

}  // namespace velko::forms
