// The form model: load from design, setters that refuse, the modal show's
// bookkeeping and what reaches the window of a shown form. A scripted runtime
// stands in for the window, so this runs in every build.
#include "platform/forms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/error.h"

namespace velko::forms {
namespace {

// A runtime whose "window" is the script: it runs while the form is shown.
class ScriptedRuntime final : public FormRuntime, public FormPeer {
 public:
  std::function<void(Form&)> script;
  std::vector<std::pair<std::string, Property>> changes;
  WindowHandle owner_seen = reinterpret_cast<WindowHandle>(1);
  bool closed = false;

  void RunModal(Form& form, WindowHandle owner) override {
    owner_seen = owner;
    closed = false;
    form.SetPeer(this);
    if (script) script(form);
    form.SetPeer(nullptr);
  }
  WindowHandle Window() const override { return reinterpret_cast<WindowHandle>(0x4242); }
  int Dpi() const override { return 96; }
  void Changed(const Control* c, Property what) override { changes.emplace_back(c ? c->Name() : "", what); }
  void Close() override { closed = true; }
};

class TestForm final : public Form {
 public:
  explicit TestForm(FormRuntime& runtime)
      : Form("frmTest", {u"Design caption", {u"Tahoma", 0, 8.25f, false, false}, 4000, 2000}, runtime),
        label(AddControl<Label>("lblText", MakeDesign(u"label", 100, 200, 300, 400))),
        ok(AddControl<CommandButton>("cmdOK", MakeDesign(u"&OK", 10, 20, 30, 40), ButtonRole{.is_default = true})),
        cancel(AddControl<CommandButton>("cmdCancel", MakeDesign(u"Cancel", 1, 2, 3, 4),
                                         ButtonRole{.is_cancel = true})) {}

  static ControlDesign MakeDesign(std::u16string caption, float l, float t, float w, float h) {
    ControlDesign d;
    d.caption = std::move(caption);
    d.tag = u"design tag";
    d.left = l;
    d.top = t;
    d.width = w;
    d.height = h;
    d.font = {u"Arial", 0, 10, true, false};
    return d;
  }

  Label& label;
  CommandButton& ok;
  CommandButton& cancel;
  int loads = 0;
  std::u16string caption_seen_at_load;
  std::function<void()> on_load;

 protected:
  void Form_Load() override {
    ++loads;
    caption_seen_at_load = label.Caption();
    if (on_load) on_load();
  }
};

// A control kind without a font, like a timer.
class Timer final : public Control {
 public:
  Timer() : Control(ControlKind::kOther, "tmrTick", {}, nullptr) {}
};

int32_t ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(Form, LoadPutsEveryPropertyBackToItsDesignValueAndRunsTheStartUpOnce) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  form.Load();
  ASSERT_EQ(form.loads, 1);
  form.SetCaption(u"changed");
  form.GetFont().SetName(u"Courier New");
  form.label.SetCaption(u"changed");
  form.label.SetTag(u"changed");
  form.label.SetVisible(false);
  form.label.SetLeft(1);
  form.label.SetTop(1);
  form.label.SetWidth(1);
  form.label.SetHeight(1);
  form.label.SetForeColor(Rgb(1, 2, 3));
  form.label.SetMousePointer(MousePointer::kPointingHand);
  form.label.GetFont().SetUnderline(true);
  form.label.GetFont().SetSize(30);

  form.Load();  // still loaded: nothing happens
  EXPECT_EQ(form.loads, 1);
  EXPECT_EQ(form.label.Caption(), u"changed");

  form.Unload();
  EXPECT_EQ(form.label.Caption(), u"changed") << "values stay readable until the next load";
  form.Load();
  EXPECT_EQ(form.loads, 2);
  EXPECT_EQ(form.caption_seen_at_load, u"label") << "the reset comes before the start-up";
  EXPECT_EQ(form.Caption(), u"Design caption");
  EXPECT_EQ(form.GetFont().value().name, u"Tahoma");
  const Label& l = form.label;
  EXPECT_EQ(l.Caption(), u"label");
  EXPECT_EQ(l.Tag(), u"design tag");
  EXPECT_TRUE(l.Visible());
  EXPECT_EQ(l.Left(), 100);
  EXPECT_EQ(l.Top(), 200);
  EXPECT_EQ(l.Width(), 300);
  EXPECT_EQ(l.Height(), 400);
  EXPECT_EQ(l.ForeColor(), kButtonTextColor);
  EXPECT_EQ(l.GetMousePointer(), MousePointer::kDefault);
  EXPECT_EQ(l.GetFont().value(), (FontValue{u"Arial", 0, 10, true, false}));
}

TEST(Form, AnErrorOfTheStartUpReachesTheCallerWithTheFormLoaded) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  form.on_load = [] { throw Error(5, u"Invalid procedure call or argument"); };
  EXPECT_EQ(ErrorNumberOf([&] { form.Load(); }), 5);
  EXPECT_TRUE(form.IsLoaded());
}

TEST(Control, SettersRefuseInvalidValuesWith380AndKeepTheOldValue) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  Label& l = form.label;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::function<void()> set;
  } cases[] = {
      {"negative width", [&] { l.SetWidth(-1); }},
      {"negative height", [&] { l.SetHeight(-0.5f); }},
      {"NaN width", [&] { l.SetWidth(nan); }},
      {"zero font size", [&] { l.GetFont().SetSize(0); }},
      {"size over 2160", [&] { l.GetFont().SetSize(2160.5f); }},
      {"NaN size", [&] { l.GetFont().SetSize(nan); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorNumberOf(c.set), kErrInvalidPropertyValue) << c.what;
    EXPECT_EQ(l.Width(), 300) << c.what;
    EXPECT_EQ(l.Height(), 400) << c.what;
    EXPECT_EQ(l.GetFont().value().size, 10) << c.what;
  }
  // The edges that are allowed.
  l.SetWidth(0);
  l.GetFont().SetSize(2160);
  l.SetLeft(-100);  // a control may start left of the client area
  EXPECT_EQ(l.Width(), 0);
  EXPECT_EQ(l.GetFont().value().size, 2160);
  EXPECT_EQ(l.Left(), -100);
}

TEST(Control, AKindWithoutAFontRaises438) {
  Timer timer;
  EXPECT_EQ(ErrorNumberOf([&] { timer.GetFont(); }), kErrNoSuchProperty);
}

TEST(Form, ShowModalLoadsShowsAndLeavesTheFormUnloaded) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  bool loaded_while_shown = false;
  WindowHandle window_while_shown = nullptr;
  runtime.script = [&](Form& f) {
    loaded_while_shown = f.IsLoaded();
    window_while_shown = f.hWnd();
    f.Unload();
  };
  auto* owner = reinterpret_cast<WindowHandle>(0x77);
  form.ShowModal(owner);
  EXPECT_EQ(form.loads, 1);
  EXPECT_TRUE(loaded_while_shown);
  EXPECT_EQ(window_while_shown, reinterpret_cast<WindowHandle>(0x4242));
  EXPECT_EQ(runtime.owner_seen, owner);
  EXPECT_TRUE(runtime.closed) << "Unload takes the window down";
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_FALSE(form.IsShown());
  EXPECT_EQ(form.hWnd(), nullptr);

  // A window that went away without an unload leaves the form unloaded too,
  // so the next showing loads it afresh.
  runtime.script = nullptr;
  form.ShowModal();
  EXPECT_EQ(runtime.owner_seen, nullptr);
  EXPECT_FALSE(form.IsLoaded());
  form.ShowModal();
  EXPECT_EQ(form.loads, 3);
}

TEST(Form, ARuntimeFailureReachesTheCallerAndLeavesTheFormUnloaded) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  runtime.script = [](Form&) { throw Error(1400, u"Invalid window handle."); };
  EXPECT_EQ(ErrorNumberOf([&] { form.ShowModal(); }), 1400);
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_FALSE(form.IsShown());
}

TEST(Form, ChangesReachTheWindowOnlyWhileTheFormIsShown) {
  ScriptedRuntime runtime;
  TestForm form(runtime);
  form.Load();
  form.label.SetCaption(u"before");
  EXPECT_TRUE(runtime.changes.empty());
  runtime.script = [&](Form& f) {
    form.label.SetCaption(u"x");
    form.label.SetTag(u"t");
    form.ok.SetVisible(false);
    form.ok.SetWidth(5);
    form.cancel.GetFont().SetBold(false);
    form.label.SetForeColor(0);
    form.label.SetMousePointer(MousePointer::kPointingHand);
    f.SetCaption(u"c");
    f.GetFont().SetCharset(128);
    f.Unload();
    form.label.SetCaption(u"after");
  };
  form.ShowModal();
  const std::vector<std::pair<std::string, Property>> expected = {
      {"lblText", Property::kCaption},   {"lblText", Property::kTag},       {"cmdOK", Property::kVisible},
      {"cmdOK", Property::kPosition},    {"cmdCancel", Property::kFont},    {"lblText", Property::kForeColor},
      {"lblText", Property::kMousePointer}, {"", Property::kCaption},     {"", Property::kFont},
  };
  EXPECT_EQ(runtime.changes, expected);
}

TEST(Twips, ConvertToTheNearestPixelAtTheDisplaysDpi) {
  struct Case {
    float twips;
    int dpi;
    int pixels;
  } cases[] = {
      {5700, 96, 380}, {3510, 96, 234}, {1440, 96, 96}, {1440, 120, 120}, {1440, 144, 144},
      {7, 96, 0},      {8, 96, 1},      {2875, 96, 192}, {-15, 96, -1},   {0, 96, 0},
      {5700, 120, 475}, {2775, 144, 278},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
    // Back to twips, within half a pixel of the start.
    EXPECT_LE(std::fabs(PixelsToTwips(c.pixels, c.dpi) - c.twips), 720.0f / c.dpi) << c.twips;
  }
}

}  // namespace
}  // namespace velko::forms
