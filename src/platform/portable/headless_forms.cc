#include "platform/portable/headless_forms.h"

#include <cstdint>

namespace velko::forms {

class HeadlessFormRuntime::Session final : public FormPeer {
 public:
  Session(HeadlessFormRuntime& runtime, Form& form, WindowHandle window)
      : runtime_(runtime), form_(form), window_(window) {}
  WindowHandle Window() const override { return window_; }
  int Dpi() const override { return runtime_.dpi; }
  void Changed(const Control* control, Property what) override {
    runtime_.changes.emplace_back(control ? control->Name() : std::string(), what);
  }
  void Close() override { closed_ = true; }

  Form& form() const { return form_; }
  bool closed() const { return closed_; }

 private:
  HeadlessFormRuntime& runtime_;
  Form& form_;
  WindowHandle window_;
  bool closed_ = false;
};

namespace {

HeadlessFormRuntime::ControlView ViewOf(const Control& c) {
  HeadlessFormRuntime::ControlView v{c.Name(),  c.kind(),  c.Caption(), c.Tag(),       c.Visible(),
                                     c.Left(),  c.Top(),   c.Width(),   c.Height(),    c.HasFont(),
                                     {},        c.ForeColor(), c.GetMousePointer()};
  if (c.HasFont()) v.font = c.GetFont().value();
  return v;
}

}  // namespace

const HeadlessFormRuntime::ControlView& HeadlessFormRuntime::Showing::operator[](std::string_view name) const {
  for (const ControlView& v : controls)
    if (v.name == name) return v;
  throw std::logic_error("no control named " + std::string(name));
}

void HeadlessFormRuntime::RunModal(Form& form, WindowHandle owner) {
  // A distinct, never dereferenced handle per showing.
  auto* window = reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(0x10000 + 0x10 * showings.size()));
  Session session(*this, form, window);
  Showing shown{form.Name(), form.Caption(), form.GetFont().value(), form.ScaleWidth(), form.ScaleHeight(),
                owner, {}};
  for (const Control* c : form.Controls()) shown.controls.push_back(ViewOf(*c));
  showings.push_back(std::move(shown));

  form.SetPeer(&session);
  sessions_.push_back(&session);
  struct Pop {
    HeadlessFormRuntime& runtime;
    Session& session;
    ~Pop() {
      runtime.sessions_.pop_back();
      session.form().DropPeer(&session);
    }
  } pop{*this, session};
  if (user) user(*this, form);
  if (!session.closed()) throw std::logic_error("modal form " + form.Name() + " was left open");
}

HeadlessFormRuntime::Session& HeadlessFormRuntime::Current() const {
  if (sessions_.empty() || sessions_.back()->closed()) throw std::logic_error("no form is shown");
  return *sessions_.back();
}

Control& HeadlessFormRuntime::Find(std::string_view name) const {
  for (Control* c : Current().form().Controls())
    if (c->Name() == name) {
      if (!c->Visible()) throw std::logic_error("control " + c->Name() + " is hidden");
      return *c;
    }
  throw std::logic_error("no control named " + std::string(name));
}

void HeadlessFormRuntime::Click(std::string_view control) { Find(control).Click(); }

void HeadlessFormRuntime::DblClick(std::string_view control) { Find(control).DblClick(); }

void HeadlessFormRuntime::CloseBox() { Current().form().Unload(); }

void HeadlessFormRuntime::CtrlC() {
  std::u16string text = Current().form().ClipboardText();
  if (!text.empty()) clipboard = std::move(text);
}

FormRuntime& DefaultFormRuntime() {
  static HeadlessFormRuntime runtime;
  return runtime;
}

}  // namespace velko::forms
