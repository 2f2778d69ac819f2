// The Win32 forms runtime with a form of the test's own: what changes while the
// form is shown reaches the window, Escape presses a cancel button when there
// is one, labels raise their click events, kinds without a window are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/forms.h"
#include "platform/win32/forms_test_driver.h"

namespace velko::forms {
namespace {

using namespace testing;  // NOLINT: the driver's vocabulary

ControlDesign At(std::u16string caption, float left, float top, float width, float height) {
  ControlDesign d;
  d.caption = std::move(caption);
  d.left = left;
  d.top = top;
  d.width = width;
  d.height = height;
  return d;
}

class Tick final : public Control {
 public:
  Tick() : Control(ControlKind::kOther, "tmrTick", {}, nullptr) {}
};

class SampleForm final : public Form {
 public:
  SampleForm()
      : Form("frmSample", {u"Sample", {}, 4500, 1800}, DefaultFormRuntime()),
        label(AddControl<Label>("lblText", At(u"label", 120, 120, 2000, 300))),
        tick(AddControl<Tick>()),
        change(AddControl<CommandButton>("cmdChange", At(u"Change", 120, 1200, 1200, 375),
                                         ButtonRole{.is_default = true})),
        cancel(AddControl<CommandButton>("cmdCancel", At(u"Cancel", 1500, 1200, 1200, 375),
                                         ButtonRole{.is_cancel = true})) {}
  Label& label;
  Tick& tick;
  CommandButton& change;
  CommandButton& cancel;
};

TEST(FormsDialog, ChangesMadeWhileShownReachTheWindow) {
  SampleForm form;
  form.change.on_click = [&] {
    form.SetCaption(u"Changed");
    form.label.SetCaption(u"new text");
    form.label.GetFont().SetBold(true);
    form.label.GetFont().SetName(u"Courier New");
    form.change.SetLeft(2880);
    form.change.SetWidth(1440);
    form.cancel.SetVisible(false);
  };
  const int dpi = ScreenDpi(LOGPIXELSX);
  std::wstring caption, label;
  LOGFONTW label_font{};
  RECT change{};
  bool cancel_visible = true;
  EXPECT_TRUE(WhileShown([&] { form.ShowModal(); },
                         [&](HWND box) {
                           const std::vector<HWND> c = Children(box);
                           ASSERT_EQ(c.size(), 3u) << "the timer has no window";
                           ::SendMessageW(c[1], BM_CLICK, 0, 0);
                           caption = Text(box);
                           label = Text(c[0]);
                           label_font = FontOf(c[0]);
                           change = RectInParent(c[1]);
                           cancel_visible = ::IsWindowVisible(c[2]) != FALSE;
                           ::PostMessageW(box, WM_CLOSE, 0, 0);
                         }));
  EXPECT_EQ(caption, L"Changed");
  EXPECT_EQ(label, L"new text");
  EXPECT_EQ(label_font.lfWeight, 700);
  EXPECT_STREQ(label_font.lfFaceName, L"Courier New");
  EXPECT_EQ(change.left, TwipsToPixels(2880, dpi));
  EXPECT_EQ(change.right - change.left, TwipsToPixels(1440, dpi));
  EXPECT_FALSE(cancel_visible);
  EXPECT_FALSE(form.IsLoaded());
}

TEST(FormsDialog, EscapePressesTheCancelButtonAndEnterTheDefaultOne) {
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    SampleForm form;
    std::string pressed;
    form.change.on_click = [&] { pressed += "change "; form.Unload(); };
    form.cancel.on_click = [&] { pressed += "cancel "; form.Unload(); };
    bool closed = false;
    EXPECT_TRUE(WhileShown([&] { form.ShowModal(); },
                           [&](HWND box) {
                             PostKey(Children(box).at(1), key);
                             closed = WaitUntil([&] { return !::IsWindow(box); });
                           }));
    EXPECT_TRUE(closed) << key;
    EXPECT_EQ(pressed, key == VK_ESCAPE ? "cancel " : "change ");
  }
}

TEST(FormsDialog, LabelsRaiseClickAndDoubleClick) {
  SampleForm form;
  std::string events;
  form.label.on_click = [&] { events += "click "; };
  form.label.on_dbl_click = [&] { events += "dblclick "; };
  EXPECT_TRUE(WhileShown([&] { form.ShowModal(); },
                         [&](HWND box) {
                           HWND label = Children(box).at(0);
                           ::SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                           ::SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
                           ::SendMessageW(label, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
                           ::PostMessageW(box, WM_CLOSE, 0, 0);
                         }));
  EXPECT_EQ(events, "click dblclick ");
}

TEST(FormsDialog, ControlsWithTheSameFontShareOneFontObject) {
  SampleForm form;
  HFONT label = nullptr, change = nullptr, cancel = nullptr, dialog = nullptr;
  EXPECT_TRUE(WhileShown([&] { form.ShowModal(); },
                         [&](HWND box) {
                           const std::vector<HWND> c = Children(box);
                           auto font = [](HWND w) { return reinterpret_cast<HFONT>(::SendMessageW(w, WM_GETFONT, 0, 0)); };
                           dialog = font(box);
                           label = font(c[0]);
                           change = font(c[1]);
                           cancel = font(c[2]);
                           ::PostMessageW(box, WM_CLOSE, 0, 0);
                         }));
  EXPECT_NE(dialog, nullptr);
  EXPECT_EQ(label, dialog);
  EXPECT_EQ(change, dialog);
  EXPECT_EQ(cancel, dialog);
  // Deleted with the window: the handle no longer names a font.
  LOGFONTW gone;
  EXPECT_EQ(::GetObjectW(dialog, sizeof gone, &gone), 0);
}

}  // namespace
}  // namespace velko::forms
