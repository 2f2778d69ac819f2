// Locale fonts: the table by exact LCID, the order Charset, Name, Size, the
// stop at the first refused property, and the walk over a form's controls.
#include "localization/locale_fonts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"

namespace velko {
namespace {

// Only the user locale is asked for; it can change between calls, or fail.
class PinnedLocale final : public platform::ResourceApi {
 public:
  explicit PinnedLocale(uint32_t lcid) : lcid(lcid) {}
  uint32_t lcid;
  bool fail = false;
  int reads = 0;
  uint32_t UserDefaultLcid() override {
    ++reads;
    if (fail) throw std::runtime_error("no locale");
    return lcid;
  }
  bool FileExists(const std::u16string&) override { return false; }
  platform::ModuleHandle LoadLibraryAsDatafile(const std::u16string&) override { return nullptr; }
  int LoadStringFrom(platform::ModuleHandle, uint32_t, char16_t*, int) override { return 0; }
  std::u16string_view StringResource(platform::ModuleHandle, uint32_t) override { return {}; }
  void FreeLibrary(platform::ModuleHandle) override {}
  std::u16string ComponentFolder() override { return {}; }
};

// Records each property set, in order, and refuses the one named in `refuse`.
class RecordingFont final : public forms::FontObject {
 public:
  std::vector<std::string> sets;
  std::string refuse;
  void SetCharset(int16_t v) override { Set("Charset=" + std::to_string(v), "Charset"); }
  void SetName(const std::u16string& v) override { Set("Name=" + CodePoints(v), "Name"); }
  void SetSize(float v) override { Set("Size=" + std::to_string(static_cast<int>(v)), "Size"); }

  static std::string CodePoints(const std::u16string& s) {
    std::string out;
    char buf[8];
    for (char16_t c : s) {
      std::snprintf(buf, sizeof buf, "%s%04X", out.empty() ? "" : " ", static_cast<unsigned>(c));
      out += buf;
    }
    return out;
  }

 private:
  void Set(std::string entry, const std::string& property) {
    sets.push_back(std::move(entry));
    if (property == refuse) throw Error(380, u"Invalid property value");
  }
};

TEST(LocaleFonts, EachLocaleGetsItsRowInTheOrderCharsetNameSize) {
  const std::vector<std::string> kTahoma8 = {"Charset=1", "Name=0054 0061 0068 006F 006D 0061", "Size=8"};
  struct Case {
    uint32_t lcid;
    std::vector<std::string> sets;
  } cases[] = {
      {1042, {"Charset=129", "Name=AD74 B9BC", "Size=9"}},
      {1028, {"Charset=136", "Name=65B0 7D30 660E 9AD4", "Size=9"}},
      {1041, {"Charset=128", "Name=FF2D FF33 0020 FF30 30B4 30B7 30C3 30AF", "Size=9"}},
      {2052, {"Charset=134", "Name=5B8B 4F53", "Size=9"}},
      {1033, kTahoma8},
      // Sublanguages of a listed language, and a neutral one, are not the listed values.
      {3076, kTahoma8}, {4100, kTahoma8}, {5124, kTahoma8}, {0x0011, kTahoma8}, {0, kTahoma8},
  };
  for (const Case& c : cases) {
    PinnedLocale locale(c.lcid);
    RecordingFont font;
    SetLocaleFont(font, false, locale);
    EXPECT_EQ(font.sets, c.sets) << "lcid " << c.lcid;
  }
}

TEST(LocaleFonts, KeepSizeSetsOnlyCharsetAndName) {
  PinnedLocale locale(2052);
  RecordingFont recorded;
  SetLocaleFont(recorded, true, locale);
  EXPECT_EQ(recorded.sets, (std::vector<std::string>{"Charset=134", "Name=5B8B 4F53"}));

  forms::Font font(nullptr);
  font.Assign({u"Arial", 0, 12, true, true});
  SetLocaleFont(font, true, locale);
  EXPECT_EQ(font.value(), (forms::FontValue{u"\u5B8B\u4F53", 134, 12, true, true}));
}

TEST(LocaleFonts, TheFirstRefusedPropertyEndsTheOperationAndWhatWasSetStays) {
  struct Case {
    const char* refuse;
    std::vector<std::string> sets;
  } cases[] = {
      {"Charset", {"Charset=128"}},
      {"Name", {"Charset=128", "Name=FF2D FF33 0020 FF30 30B4 30B7 30C3 30AF"}},
      {"Size", {"Charset=128", "Name=FF2D FF33 0020 FF30 30B4 30B7 30C3 30AF", "Size=9"}},
  };
  PinnedLocale locale(1041);
  for (const Case& c : cases) {
    RecordingFont font;
    font.refuse = c.refuse;
    SetLocaleFont(font, false, locale);  // must not throw
    EXPECT_EQ(font.sets, c.sets) << "refusing " << c.refuse;
  }
}

TEST(LocaleFonts, TheLocaleIsReadAfreshAtEveryCall) {
  PinnedLocale locale(1042);
  forms::Font font(nullptr);
  SetLocaleFont(font, false, locale);
  EXPECT_EQ(font.value().charset, 129);
  locale.lcid = 1033;
  SetLocaleFont(font, false, locale);
  EXPECT_EQ(font.value().charset, 1);
  EXPECT_EQ(font.value().name, u"Tahoma");
  EXPECT_EQ(font.value().size, 8);
  EXPECT_EQ(locale.reads, 2);
}

// A form with a label, a timer (no font), a button and an image (no font), in
// that order, so that a font-less control sits between two that have one.
class MixedForm final : public forms::Form {
 public:
  class NoFont final : public forms::Control {
   public:
    explicit NoFont(std::string name) : Control(forms::ControlKind::kOther, std::move(name), {}, nullptr) {}
  };
  static forms::ControlDesign Styled(bool bold, bool underline) {
    forms::ControlDesign d;
    d.font = {u"Tahoma", 0, 8.25f, bold, underline};
    return d;
  }
  explicit MixedForm(forms::FormRuntime& runtime)
      : Form("frmMixed", {u"", {u"Tahoma", 0, 8.25f, false, false}, 1000, 1000}, runtime),
        label(AddControl<forms::Label>("lblBold", Styled(true, false))),
        timer(AddControl<NoFont>("tmrTick")),
        button(AddControl<forms::CommandButton>("cmdUnderlined", Styled(false, true))),
        image(AddControl<NoFont>("imgLogo")) {}
  forms::Label& label;
  NoFont& timer;
  forms::CommandButton& button;
  NoFont& image;
};

TEST(ApplyLocaleFonts, ChangesTheFormAndEveryControlWithAFontAndSkipsTheOthers) {
  struct Case {
    uint32_t lcid;
    bool keep_size;
    int16_t charset;
    std::u16string name;
    float size;
  } cases[] = {
      {1041, false, 128, u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", 9},
      {1041, true, 128, u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", 8.25f},
      {1033, false, 1, u"Tahoma", 8},
      {1033, true, 1, u"Tahoma", 8.25f},
  };
  for (const Case& c : cases) {
    struct NoRuntime final : forms::FormRuntime {
      void RunModal(forms::Form&, forms::WindowHandle) override {}
    } runtime;
    MixedForm form(runtime);
    PinnedLocale locale(c.lcid);
    ApplyLocaleFonts(form, c.keep_size, locale);
    const forms::FontValue common{c.name, c.charset, c.size, false, false};
    EXPECT_EQ(form.GetFont().value(), common) << c.lcid << " keep " << c.keep_size;
    // Bold and underline are not the locale's business.
    forms::FontValue bold = common, underlined = common;
    bold.bold = true;
    underlined.underline = true;
    EXPECT_EQ(form.label.GetFont().value(), bold) << c.lcid << " keep " << c.keep_size;
    EXPECT_EQ(form.button.GetFont().value(), underlined) << c.lcid << " keep " << c.keep_size;
    EXPECT_EQ(locale.reads, 3) << "the form, the label and the button";
  }
}

TEST(ApplyLocaleFonts, AFailureToReadTheLocaleChangesNothingAndReachesNoOne) {
  struct NoRuntime final : forms::FormRuntime {
    void RunModal(forms::Form&, forms::WindowHandle) override {}
  } runtime;
  MixedForm form(runtime);
  PinnedLocale locale(1041);
  locale.fail = true;
  ApplyLocaleFonts(form, false, locale);
  EXPECT_EQ(form.GetFont().value().name, u"Tahoma");
  EXPECT_EQ(form.button.GetFont().value().charset, 0);
  EXPECT_EQ(locale.reads, 3) << "each control is still tried";
}

}  // namespace
}  // namespace velko
