// frmAboutBox on the headless runtime: design, load steps, button row, captions,
// links, the shell calls of its handlers and the keys, with the locale and the
// language library pinned through the resource stand-in.
#include "dialogs/about_box.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/component_file.h"
#include "platform/error.h"
#include "platform/portable/fake_resources.h"
#include "platform/portable/headless_forms.h"
#include "platform/portable/recording_shell.h"
#include "platform/text.h"

namespace velko {
namespace {

using forms::HeadlessFormRuntime;
using platform::AnsiArg;
using platform::RecordingShell;

const std::u16string kFolder = u"C:\\Product";
const std::u16string kJapaneseFace = u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";

// The resource stand-in, with failures injected per text and for the locale.
class FlakyResources final : public platform::ResourceApi {
 public:
  platform::FakeResourceApi fake;
  std::set<uint32_t> failing_texts;
  bool locale_fails = false;

  uint32_t UserDefaultLcid() override {
    if (locale_fails) throw Error(5, u"Invalid procedure call or argument");
    return fake.UserDefaultLcid();
  }
  bool FileExists(const std::u16string& p) override { return fake.FileExists(p); }
  platform::ModuleHandle LoadLibraryAsDatafile(const std::u16string& p) override {
    return fake.LoadLibraryAsDatafile(p);
  }
  int LoadStringFrom(platform::ModuleHandle m, uint32_t id, char16_t* buffer, int count) override {
    if (failing_texts.count(id)) throw Error(7, u"Out of memory");
    return fake.LoadStringFrom(m, id, buffer, count);
  }
  std::u16string_view StringResource(platform::ModuleHandle m, uint32_t id) override {
    if (failing_texts.count(id)) throw Error(7, u"Out of memory");
    return fake.StringResource(m, id);
  }
  void FreeLibrary(platform::ModuleHandle m) override { fake.FreeLibrary(m); }
  std::u16string ComponentFolder() override { return fake.ComponentFolder(); }
};

class AboutBoxTest : public ::testing::Test {
 protected:
  AboutBoxTest() {
    api.fake.folder = kFolder;
    api.fake.lcid = 1033;
    SetTexts(1033, {{2, u"About %1"}, {12, u"&OK"}, {14, u"Visit Our Website..."}, {44, u"View EULA..."}});
    lang.LoadLangLibrary(u"VELKORes");
    info.ProductName = u"Widget";
    info.ProductVersion = u"2.5";
    info.Copyright = u"(c) Widget Makers";
  }
  ~AboutBoxTest() override { lang.FreeLangLibrary(); }

  void SetTexts(uint32_t lcid, platform::FakeResourceApi::StringTable texts) {
    api.fake.files[kFolder + u"\\VELKORes" + FromUtf8(std::to_string(lcid)) + u".DLL"] = std::move(texts);
  }
  // Shows the box through ShowAboutBox's steps; `user` plays the user and must
  // close it. Returns what was on the screen.
  const HeadlessFormRuntime::Showing& Show(std::function<void(HeadlessFormRuntime&)> user,
                                           const std::vector<std::u16string>* links = nullptr) {
    ui.user = [&](HeadlessFormRuntime& u, forms::Form&) { user(u); };
    ShowAboutBox(form, links);
    return ui.showings.back();
  }
  static void PressOK(HeadlessFormRuntime& u) { u.Click("cmdOK"); }

  FlakyResources api;
  LangSupport lang{api};
  ProductInfo info;
  RecordingShell shell;
  HeadlessFormRuntime ui;
  AboutBoxForm form{info, lang, {api, shell, ui}};
};

TEST_F(AboutBoxTest, DesignHasTheControlsInTabOrderOKAsDefaultAndNoCancelButton) {
  std::vector<std::string> names;
  for (const forms::Control* c : form.Controls()) names.push_back(c->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"lblProductName", "lblCopyright", "cmdOK", "cmdVisitWebsite", "url1",
                                             "cmdViewEULA"}));
  EXPECT_EQ(form.DefaultButton(), &form.cmdOK);
  EXPECT_EQ(form.CancelButton(), nullptr) << "Escape must do nothing";
  EXPECT_EQ(form.url1.ForeColor(), forms::Rgb(0, 0, 255));
  EXPECT_EQ(form.url1.GetFont().value(), (forms::FontValue{u"Tahoma", 0, 8.25f, false, true}));
  EXPECT_EQ(form.url1.GetMousePointer(), forms::MousePointer::kPointingHand);
  EXPECT_EQ(form.lblProductName.GetFont().value().weight(), 700);
}

TEST_F(AboutBoxTest, ButtonRowFollowsTheEulaPath) {
  struct Case {
    std::u16string eula_path;
    bool eula_visible;
    float website_left, website_width, eula_left, eula_width;
  } cases[] = {
      // W / 2 - 75 = 2775 each; the second at 50 + 2775 + 50.
      {u"C:\\Docs\\eula.rtf", true, 50, 2775, 2875, 2775},
      {u"no such file at all", true, 50, 2775, 2875, 2775},
      {u" ", true, 50, 2775, 2875, 2775},
      // Alone: Left 50, the same width as in a pair (at most W - 100); the hidden
      // button keeps its design position.
      {u"", false, 50, 2775, 2940, 2640},
  };
  for (const Case& c : cases) {
    info.EULAPath = c.eula_path;
    info.WebsiteHREF = u"";
    form.Load();
    EXPECT_EQ(form.cmdViewEULA.Visible(), c.eula_visible) << ToUtf8(c.eula_path);
    EXPECT_TRUE(form.cmdVisitWebsite.Visible()) << "shown whatever WebsiteHREF holds";
    EXPECT_EQ(form.cmdVisitWebsite.Left(), c.website_left) << ToUtf8(c.eula_path);
    EXPECT_EQ(form.cmdVisitWebsite.Width(), c.website_width) << ToUtf8(c.eula_path);
    EXPECT_LE(form.cmdVisitWebsite.Width(), form.ScaleWidth() - 100);
    EXPECT_EQ(form.cmdViewEULA.Left(), c.eula_left) << ToUtf8(c.eula_path);
    EXPECT_EQ(form.cmdViewEULA.Width(), c.eula_width) << ToUtf8(c.eula_path);
    for (const forms::CommandButton* b : {&form.cmdVisitWebsite, &form.cmdViewEULA}) {
      EXPECT_EQ(b->Top(), 3000) << b->Name();
      EXPECT_EQ(b->Height(), 375) << b->Name();
    }
    form.Unload();
  }
}

TEST_F(AboutBoxTest, CaptionsComeFromTheLibraryEvenWhenEmptyAndLabelsFromProductInfo) {
  struct Case {
    const char* what;
    platform::FakeResourceApi::StringTable texts;
    bool library;
    std::u16string caption, ok, website, eula;
  } cases[] = {
      {"all texts", {{2, u"About %1"}, {12, u"&OK"}, {14, u"Site"}, {44, u"EULA"}}, true,
       u"About Widget", u"&OK", u"Site", u"EULA"},
      {"missing texts", {{2, u"About %1"}}, true, u"About Widget", u"", u"", u""},
      {"no library at all", {}, false, u"", u"", u"", u""},
  };
  for (const Case& c : cases) {
    api.fake.files.clear();
    if (c.library) SetTexts(1033, c.texts);
    LangSupport fresh(api);
    fresh.LoadLangLibrary(u"VELKORes");
    AboutBoxForm box(info, fresh, {api, shell, ui});
    box.Load();
    EXPECT_EQ(box.Caption(), c.caption) << c.what;
    EXPECT_EQ(box.cmdOK.Caption(), c.ok) << c.what;
    EXPECT_EQ(box.cmdVisitWebsite.Caption(), c.website) << c.what;
    EXPECT_EQ(box.cmdViewEULA.Caption(), c.eula) << c.what << ": set whether or not the button is visible";
    EXPECT_EQ(box.lblProductName.Caption(), u"Widget 2.5") << c.what;
    EXPECT_EQ(box.lblCopyright.Caption(), u"(c) Widget Makers") << c.what;
    fresh.FreeLangLibrary();
  }
}

TEST_F(AboutBoxTest, EveryPercentOneOfText2BecomesTheProductName) {
  struct Case {
    std::u16string text2;
    std::u16string name;
    std::u16string caption;
  } cases[] = {
      {u"About %1", u"Widget", u"About Widget"},
      {u"No marker", u"Widget", u"No marker"},
      {u"%1 and %1", u"Widget", u"Widget and Widget"},
      {u"%1%1", u"ab", u"abab"},
      {u"About %1", u"", u"About "},
      {u"%1 (%1)", u"", u" ()"},
      {u"About %1", u"%1 Pro", u"About %1 Pro"},  // the inserted text is not searched again
      {u"%%11", u"X", u"%X1"},
      {u"%10 %2 % 1", u"X", u"X0 %2 % 1"},
      {u"About %1", u"x%", u"About x%"},
  };
  for (const Case& c : cases) {
    SetTexts(1033, {{2, c.text2}});
    info.ProductName = c.name;
    form.Load();
    EXPECT_EQ(form.Caption(), c.caption) << ToUtf8(c.text2) << " / " << ToUtf8(c.name);
    form.Unload();
  }
}

TEST_F(AboutBoxTest, ProductLabelIsNameSpaceVersionWithNothingTrimmed) {
  struct Case {
    std::u16string name, version, copyright;
    std::u16string product_label;
  } cases[] = {
      {u"Widget", u"2.5", u"(c)", u"Widget 2.5"},
      {u"", u"2.5", u"", u" 2.5"},
      {u"Widget", u"", u"", u"Widget "},
      {u"", u"", u"", u" "},
      {u"  Widget ", u" 2.5  ", u"  (c)  ", u"  Widget   2.5  "},
      {u"A & B", u"1", u"", u"A & B 1"},
  };
  for (const Case& c : cases) {
    info.ProductName = c.name;
    info.ProductVersion = c.version;
    info.Copyright = c.copyright;
    form.Load();
    EXPECT_EQ(form.lblProductName.Caption(), c.product_label);
    EXPECT_EQ(form.lblCopyright.Caption(), c.copyright);
    form.Unload();
  }
}

TEST_F(AboutBoxTest, AFailingLoadStepIsSkippedAndTheOthersStillRun) {
  api.failing_texts = {12, 2};
  api.locale_fails = true;
  info.EULAPath = u"eula.txt";
  form.Load();
  // The failed steps leave their design values...
  EXPECT_EQ(form.cmdOK.Caption(), u"&OK");
  EXPECT_EQ(form.Caption(), u"About...");
  EXPECT_EQ(form.GetFont().value(), (forms::FontValue{u"Tahoma", 0, 8.25f, false, false}));
  // ...and every other step ran.
  EXPECT_EQ(form.cmdVisitWebsite.Caption(), u"Visit Our Website...");
  EXPECT_EQ(form.cmdViewEULA.Caption(), u"View EULA...");
  EXPECT_EQ(form.cmdViewEULA.Left(), 2875);
  EXPECT_EQ(form.lblProductName.Caption(), u"Widget 2.5");
  EXPECT_EQ(form.lblCopyright.Caption(), u"(c) Widget Makers");
}

TEST_F(AboutBoxTest, TheFirstLinkWithANonEmptyTextStays) {
  using Links = std::vector<std::pair<std::u16string, std::u16string>>;
  struct Case {
    const char* what;
    Links added;
    std::u16string caption, tag;
  } cases[] = {
      {"none", {}, u"", u""},
      {"empty text sets only the tag", {{u"http://a", u""}}, u"", u"http://a"},
      {"empty then set", {{u"http://a", u""}, {u"http://b", u"B"}}, u"B", u"http://b"},
      {"both set: the first wins", {{u"http://a", u"A"}, {u"http://b", u"B"}}, u"A", u"http://a"},
      {"a blank is a text", {{u"http://a", u" "}, {u"http://b", u"B"}}, u" ", u"http://a"},
      {"all empty: the last address", {{u"http://a", u""}, {u"http://b", u""}, {u"", u""}}, u"", u""},
      {"all empty, last with address", {{u"", u""}, {u"http://c", u""}}, u"", u"http://c"},
  };
  for (const Case& c : cases) {
    form.Load();
    form.url1.SetCaption(u"stale");
    form.url1.SetTag(u"stale");
    form.ClearURLS();
    for (const auto& [href, text] : c.added) form.AddURL(href, text);
    EXPECT_EQ(form.url1.Caption(), c.caption) << c.what;
    EXPECT_EQ(form.url1.Tag(), c.tag) << c.what;
    form.Unload();
  }
}

TEST_F(AboutBoxTest, ShowAboutBoxHandsEachEntryOnSplitAtItsBars) {
  struct Case {
    const char* what;
    std::vector<std::u16string> entries;
    std::u16string caption, tag;
  } cases[] = {
      {"plain", {u"http://a|Site A"}, u"Site A", u"http://a"},
      {"bar in the address", {u"http://a|b|Shown"}, u"b", u"http://a"},
      {"bar in the text", {u"http://a|one|two"}, u"one", u"http://a"},
      {"bare bar", {u"|"}, u"", u""},
      {"no bar", {u"http://lonely"}, u"", u"http://lonely"},
      {"in order", {u"http://a|", u"http://b|B", u"http://c|C"}, u"B", u"http://b"},
  };
  for (const Case& c : cases) {
    const auto& shown = Show(PressOK, &c.entries);
    EXPECT_EQ(shown["url1"].caption, c.caption) << c.what;
    EXPECT_EQ(shown["url1"].tag, c.tag) << c.what;
  }
  // No list at all: the label is cleared and nothing is added.
  const auto& shown = Show(PressOK, nullptr);
  EXPECT_EQ(shown["url1"].caption, u"");
  EXPECT_EQ(shown["url1"].tag, u"");
}

TEST_F(AboutBoxTest, EveryShowingLoadsAfreshFromTheDesignAndTheCurrentProductInfo) {
  info.EULAPath = u"eula.rtf";
  Show([&](HeadlessFormRuntime& u) {
    form.lblCopyright.SetCaption(u"scribbled");
    form.cmdViewEULA.SetLeft(9);
    u.Click("cmdOK");
  });
  info.ProductName = u"Gadget";
  info.Copyright = u"(c) Gadget";
  info.EULAPath = u"";
  SetTexts(1033, {{2, u"Info: %1"}, {12, u"Close"}});
  const auto& second = Show(PressOK);
  ASSERT_EQ(ui.showings.size(), 2u);
  EXPECT_EQ(ui.showings[0].caption, u"About Widget");
  EXPECT_EQ(second.caption, u"Info: Gadget");
  EXPECT_EQ(second["lblProductName"].caption, u"Gadget 2.5");
  EXPECT_EQ(second["lblCopyright"].caption, u"(c) Gadget");
  EXPECT_EQ(second["cmdOK"].caption, u"Close");
  EXPECT_FALSE(second["cmdViewEULA"].visible);
  EXPECT_EQ(second["cmdViewEULA"].left, 2940) << "back at its design position";
  EXPECT_EQ(second.owner, nullptr) << "shown with no owner";
}

TEST_F(AboutBoxTest, HandlersCallTheShellWithExactArguments) {
  using Call = RecordingShell::Call;
  info.WebsiteHREF = u"http://widget.example/";
  info.EULAPath = u"C:\\Widget\\EULA \u00FCber.rtf";
  const std::vector<std::u16string> links = {u"http://widget.example/\u65E5|Home"};
  forms::WindowHandle box = nullptr;
  Show(
      [&](HeadlessFormRuntime& u) {
        box = form.hWnd();
        u.Click("url1");  // a single click does nothing
        u.DblClick("url1");
        u.Click("cmdVisitWebsite");
        u.Click("cmdViewEULA");
        EXPECT_TRUE(form.IsShown()) << "no button but OK closes the box";
        u.Click("cmdOK");
      },
      &links);
  ASSERT_NE(box, nullptr);
  const std::vector<Call> expected = {
      {nullptr, std::nullopt, "http://widget.example/?", std::nullopt, std::nullopt, 1},
      {box, "open", "http://widget.example/", std::nullopt, std::nullopt, 1},
      {box, "open", "C:\\Widget\\EULA \xFC" "ber.rtf", std::nullopt, std::nullopt, 1},
  };
  EXPECT_EQ(shell.calls, expected);
}

TEST_F(AboutBoxTest, EmptyAddressesStillGoToTheShellButAnEmptyEulaPathDoesNot) {
  using Call = RecordingShell::Call;
  info.WebsiteHREF = u"";
  info.EULAPath = u"eula.rtf";  // the button is shown...
  forms::WindowHandle box = nullptr;
  Show([&](HeadlessFormRuntime& u) {
    box = form.hWnd();
    u.DblClick("url1");  // no link: the empty tag
    u.Click("cmdVisitWebsite");
    info.EULAPath = u"";  // ...and the path is gone when it is pressed
    u.Click("cmdViewEULA");
    u.Click("cmdOK");
  });
  const std::vector<Call> expected = {
      {nullptr, std::nullopt, "", std::nullopt, std::nullopt, 1},
      {box, "open", "", std::nullopt, std::nullopt, 1},
  };
  EXPECT_EQ(shell.calls, expected);
}

TEST_F(AboutBoxTest, ShowingTheBoxWhileItIsShownFailsWith400) {
  int32_t number = 0;
  std::u16string description;
  const std::vector<std::u16string> links = {u"http://b|B"};
  Show([&](HeadlessFormRuntime& u) {
    try {
      ShowAboutBox(form, &links);
    } catch (const Error& e) {
      number = e.number();
      description = e.description();
    }
    EXPECT_TRUE(form.IsShown());
    u.Click("cmdOK");
  });
  EXPECT_EQ(number, forms::kErrAlreadyShownModally);
  EXPECT_EQ(description, u"Form already displayed; can't show modally");
  EXPECT_EQ(ui.showings.size(), 1u);
}

}  // namespace
}  // namespace velko

namespace velko {
namespace {

// Random link lists, dense in "|" and empty pieces, against a plain reading of
// the rules: each entry splits at its bars into the address (first piece) and
// the shown text (second piece, "" when missing); the label keeps the first link
// whose text is not empty, and an empty text still sets the address.
TEST_F(AboutBoxTest, LinksFuzzMatchTheFirstNonEmptyTextRule) {
  std::mt19937 rng(4242);
  const char16_t alphabet[] = {u'|', u'|', u'a', u'b', u' ', u'\0'};
  std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1), count(0, 4), length(0, 6);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::u16string> links(count(rng));
    std::u16string caption, tag;
    for (auto& entry : links) {
      for (size_t n = length(rng); n > 0; --n) entry.push_back(alphabet[pick(rng)]);
      const size_t bar = entry.find(u'|');
      const std::u16string href = entry.substr(0, bar);
      const std::u16string text =
          bar == std::u16string::npos ? u"" : entry.substr(bar + 1, entry.find(u'|', bar + 1) - bar - 1);
      if (caption.empty()) {
        caption = text;
        tag = href;
      }
    }
    const auto& shown = Show(PressOK, &links);
    ASSERT_EQ(shown["url1"].caption, caption) << "round " << round;
    ASSERT_EQ(shown["url1"].tag, tag) << "round " << round;
  }
}

TEST_F(AboutBoxTest, CtrlCCopiesWhatTheBoxShowsAndTheFactsSupportAsksFor) {
  const std::u16string rule = u"---------------------------";
  const platform::ComponentFileFacts file = platform::ComponentFile();
  info.Copyright = u"";  // an empty label keeps its line
  struct Case {
    const char* what;
    uint32_t lcid;
    std::u16string library;  // "" for none
    std::u16string entry;    // the one link entry
    int dpi;
    std::u16string caption;
    std::vector<std::u16string> link_lines;
    std::u16string font;
  } cases[] = {
      {"English, a whole link", 1033, u"VELKORes1033.DLL", u"http://w/|Widget home", 96, u"About Widget",
       {u"Widget home <http://w/>"}, u"Tahoma, 8 pt"},
      {"Japanese, an address only", 1041, u"VELKORes1041.DLL", u"http://w/", 144, u"Widget \u306B\u3064\u3044\u3066",
       {u"<http://w/>"}, kJapaneseFace + u", 9 pt"},
      {"Korean without a library, a text only", 1042, u"", u"|Home", 192, u"", {u"Home"}, u"\uAD74\uB9BC, 9 pt"},
      {"no link", 2052, u"", u"", 120, u"", {}, u"\u5B8B\u4F53, 9 pt"},
  };
  for (const Case& c : cases) {
    api.fake.files.clear();
    if (!c.library.empty()) SetTexts(c.lcid, {{2, c.lcid == 1041 ? u"%1 \u306B\u3064\u3044\u3066" : u"About %1"}});
    api.fake.lcid = c.lcid;
    ui.dpi = c.dpi;
    ui.clipboard = u"untouched";
    LangSupport fresh(api);
    fresh.LoadLangLibrary(u"VELKORes");
    AboutBoxForm box(info, fresh, {api, shell, ui});
    ui.user = [](HeadlessFormRuntime& u, forms::Form&) {
      u.CtrlC();
      u.Click("cmdOK");
    };
    const std::vector<std::u16string> links = {c.entry};
    ShowAboutBox(box, &links);
    std::vector<std::u16string> lines = {rule, c.caption, rule, u"Widget 2.5", u""};
    lines.insert(lines.end(), c.link_lines.begin(), c.link_lines.end());
    lines.insert(lines.end(), {rule, u"File: " + file.name, u"File version: " + file.version,
                               u"Architecture: " + file.architecture,
                               u"Language library: " + (c.library.empty() ? u"none" : c.library),
                               u"User locale: " + FromUtf8(std::to_string(c.lcid)), u"Dialog font: " + c.font,
                               u"DPI: " + FromUtf8(std::to_string(c.dpi)), rule});
    std::u16string expected;
    for (const std::u16string& line : lines) expected += line + u"\r\n";
    EXPECT_EQ(ToUtf8(ui.clipboard), ToUtf8(expected)) << c.what;
    fresh.FreeLangLibrary();
  }
}

}  // namespace
}  // namespace velko
