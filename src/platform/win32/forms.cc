// The forms' model: design values and current properties, and loading. What
// shows a form (ShowModal, the window's part of Unload) lives beside the dialog
// it makes, in dialog.cc.
#include "platform/win32/forms.h"

#include <cmath>

#include "platform/error.h"

namespace velko::forms {

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

bool Form::KeyDown(int, int) { return false; }

void Form::Load() {
  if (loaded_) return;
  // Loaded before the start-up runs, so that the start-up may use the form freely.
  loaded_ = true;
  caption = design_.caption;
  font = design_.font;
  for (const auto& control : controls_) control->ResetToDesign();
  Form_Load();
}

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

}  // namespace velko::forms
