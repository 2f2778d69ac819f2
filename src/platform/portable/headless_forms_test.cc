// The headless runtime plays the user the way the real dialog manager does:
// focus on the first visible tab stop, Enter on the focused or default button,
// Escape on the cancel button only, Tab past hidden controls.
#include "platform/portable/headless_forms.h"

#include <gtest/gtest.h>

namespace velko::forms {
namespace {

class ThreeButtons final : public Form {
 public:
  ThreeButtons(FormRuntime& runtime, ButtonRole second_role)
      : Form("frmThree", {u"Three", {}, 3000, 2000}, runtime),
        label(AddControl<Label>("lblInfo", ControlDesign{})),
        first(AddControl<CommandButton>("cmdFirst", ControlDesign{})),
        second(AddControl<CommandButton>("cmdSecond", ControlDesign{}, second_role)),
        third(AddControl<CommandButton>("cmdThird", ControlDesign{})) {
    for (CommandButton* b : {&first, &second, &third}) b->on_click = [this, b] { pressed += b->Name() + " "; };
  }
  Label& label;
  CommandButton& first;
  CommandButton& second;
  CommandButton& third;
  std::string pressed;
};

TEST(HeadlessForms, FocusStartsOnTheFirstVisibleTabStopAndTabSkipsHiddenOnes) {
  HeadlessFormRuntime ui;
  ThreeButtons form(ui, {});
  std::vector<std::string> focus;
  ui.user = [&](HeadlessFormRuntime& u, Form& f) {
    focus.push_back(u.Focus());
    for (int i = 0; i < 3; ++i) {
      u.PressTab();
      focus.push_back(u.Focus());
    }
    f.Unload();
  };
  form.Load();
  form.first.SetVisible(false);
  form.ShowModal();
  EXPECT_EQ(focus, (std::vector<std::string>{"cmdSecond", "cmdThird", "cmdSecond", "cmdThird"}));
  EXPECT_EQ(ui.showings.at(0).focus, "cmdSecond");
}

TEST(HeadlessForms, EnterPressesTheFocusedButtonElseTheDefaultOneAndEscapeOnlyACancelButton) {
  struct Case {
    ButtonRole second_role;
    int tabs_before;
    const char* after_enter;
    const char* after_escape;
  } cases[] = {
      {{}, 0, "cmdFirst ", ""},                            // the focus is on a button
      {{.is_default = true}, 0, "cmdFirst ", ""},           // a focused button wins over the default
      {{.is_default = true}, 2, "cmdThird ", ""},
      {{.is_cancel = true}, 0, "cmdFirst ", "cmdSecond "},
  };
  for (const Case& c : cases) {
    HeadlessFormRuntime ui;
    ThreeButtons form(ui, c.second_role);
    std::string after_enter, after_escape;
    ui.user = [&](HeadlessFormRuntime& u, Form& f) {
      for (int i = 0; i < c.tabs_before; ++i) u.PressTab();
      u.PressEnter();
      after_enter = form.pressed;
      form.pressed.clear();
      u.PressEscape();
      after_escape = form.pressed;
      f.Unload();
    };
    form.ShowModal();
    EXPECT_EQ(after_enter, c.after_enter) << c.tabs_before;
    EXPECT_EQ(after_escape, c.after_escape) << c.tabs_before;
  }
}

TEST(HeadlessForms, RecordsTheFormAsItIsWhenShownAndTheChangesMadeWhileShown) {
  HeadlessFormRuntime ui;
  ThreeButtons form(ui, {});
  ui.user = [&](HeadlessFormRuntime& u, Form& f) {
    form.label.SetCaption(u"later");
    u.CloseBox();
    EXPECT_FALSE(f.IsLoaded());
  };
  form.Load();
  form.label.SetCaption(u"at show");
  form.ShowModal(reinterpret_cast<WindowHandle>(0x99));
  ASSERT_EQ(ui.showings.size(), 1u);
  const HeadlessFormRuntime::Showing& s = ui.showings[0];
  EXPECT_EQ(s.form, "frmThree");
  EXPECT_EQ(s.caption, u"Three");
  EXPECT_EQ(s.owner, reinterpret_cast<WindowHandle>(0x99));
  EXPECT_EQ(s["lblInfo"].caption, u"at show");
  EXPECT_EQ(ui.changes, (std::vector<std::pair<std::string, Property>>{{"lblInfo", Property::kCaption}}));
}

TEST(HeadlessForms, AFormLeftOpenOrAHiddenControlIsATestError) {
  HeadlessFormRuntime ui;
  ThreeButtons form(ui, {});
  EXPECT_THROW(form.ShowModal(), std::logic_error);
  EXPECT_FALSE(form.IsShown());
  ui.user = [&](HeadlessFormRuntime& u, Form& f) {
    form.first.SetVisible(false);
    EXPECT_THROW(u.Click("cmdFirst"), std::logic_error);
    EXPECT_THROW(u.Click("cmdNone"), std::logic_error);
    f.Unload();
    EXPECT_THROW(u.PressEnter(), std::logic_error) << "nothing is shown any more";
  };
  form.ShowModal();
}

}  // namespace
}  // namespace velko::forms
