#include "dialogs/about_box.h"

#include <windows.h>

#include <cmath>

#include "dialogs/shell_open.h"
#include "localization/locale_fonts.h"
#include "platform/component_file.h"
#include "platform/text.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/seams.h"
#include "system/shared_module.h"

namespace velko {
namespace {

constexpr int32_t kSwShowNormal = 1;

using forms::ControlKind;

// The design's font: Tahoma 8.25 pt, regular, ANSI character set.
forms::FontValue DesignFont(bool bold = false, bool underline = false) {
  return {u"Tahoma", 0, 8.25f, bold, underline};
}

forms::ControlDesign Design(ControlKind kind, std::u16string caption, float left, float top, float width,
                            float height, forms::FontValue font = DesignFont()) {
  forms::ControlDesign d;
  d.kind = kind, d.caption = std::move(caption), d.font = std::move(font);
  d.left = left, d.top = top, d.width = width, d.height = height;
  return d;
}

// The link label: empty, pure blue, underlined, the pointing hand over it.
forms::ControlDesign LinkDesign() {
  forms::ControlDesign d = Design(ControlKind::kLabel, u"", 120, 660, 3900, 255, DesignFont(false, true));
  d.link = true;
  d.link_action = u"Open link";
  return d;
}

// One step of the start-up: a step that fails is skipped, with no message, and
// the next one runs, so a missing text or a refused value costs only that step.
template <typename Step>
void ResumeNext(Step&& step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

// The client area, and the top of the button row. The row sits 180 twips
// below the link (bottom edge 915), and 135 twips of border stay below it, as
// above cmdOK, so the box has no empty band.
constexpr float kClientWidth = 5700;
constexpr float kClientHeight = 1605;
constexpr float kButtonRowTop = 1095;

// A message box's separator line, so that a pasted box reads like a pasted message box.
constexpr std::u16string_view kRule = u"---------------------------";

std::u16string Decimal(long long value) { return FromUtf8(std::to_string(value)); }

// Font sizes as people write them: 8, 8.5, 8.25.
std::u16string Points(float size) {
  const long long hundredths = std::llround(static_cast<double>(size) * 100);
  std::u16string text = Decimal(hundredths / 100);
  if (const long long fraction = hundredths % 100; fraction != 0)
    text += u"." + Decimal(fraction / 10) + (fraction % 10 ? Decimal(fraction % 10) : u"");
  return text;
}

std::u16string FileNameOf(const std::u16string& path) { return path.substr(path.find_last_of(u"\\/") + 1); }

}  // namespace

// Labels show every "&": product names and link texts are not accelerators.
AboutBoxForm::AboutBoxForm(const ProductInfo& info, const LangSupport& lang, IUnknown* module_use)
    : Form({u"About...", DesignFont(), kClientWidth, kClientHeight, module_use}),
      lblProductName(AddControl(Design(ControlKind::kLabel, u"...", 150, 180, 3840, 195, DesignFont(true)))),
      lblCopyright(AddControl(Design(ControlKind::kLabel, u"...", 150, 405, 3840, 195))),
      cmdOK(AddControl([] {
        forms::ControlDesign d = Design(ControlKind::kCommandButton, u"&OK", 4320, 135, 1185, 375);
        d.is_default = true;
        return d;
      }())),
      // Left and Width of the row's buttons are laid out at load.
      cmdVisitWebsite(
          AddControl(Design(ControlKind::kCommandButton, u"Visit Our Website...", 120, kButtonRowTop, 2640, 375))),
      url1(AddControl(LinkDesign())),
      cmdViewEULA(AddControl(Design(ControlKind::kCommandButton, u"View EULA...", 2940, kButtonRowTop, 2640, 375))),
      info_(info),
      lang_(lang) {
  cmdOK.on_click = [this] { cmdOK_Click(); };
  cmdVisitWebsite.on_click = [this] { cmdVisitWebsite_Click(); };
  cmdViewEULA.on_click = [this] { cmdViewEULA_Click(); };
  url1.on_dbl_click = [this] { url1_DblClick(); };
}

void AboutBoxForm::Form_Load() {
  SetRightToLeft(lang_.RightToLeft());
  ApplyLocaleFonts(*this, false);
  // Only emptiness counts: whether the path names a file is the shell's business.
  cmdViewEULA.visible = !info_.EULAPath.empty();
  LayOutButtonRow();
  ResumeNext([&] { cmdOK.caption = lang_.GetLangString(kOKText); });
  ResumeNext([&] { cmdVisitWebsite.caption = lang_.GetLangString(kVisitWebsiteText); });
  ResumeNext([&] { cmdViewEULA.caption = lang_.GetLangString(kViewEULAText); });
  ResumeNext([&] { caption = ReplaceAll(lang_.GetLangString(kCaptionText), u"%1", info_.ProductName); });
  ResumeNext([&] { lblProductName.caption = info_.ProductName + u" " + info_.ProductVersion; });
  ResumeNext([&] { lblCopyright.caption = info_.Copyright; });
  // An older or another's translation may lack it: a screen reader must not read an empty action.
  ResumeNext([&] {
    if (std::u16string action = lang_.GetLangString(kOpenLinkText); !action.empty()) url1.link_action = action;
  });
}

void AboutBoxForm::LayOutButtonRow() {
  // Single precision, as the controls hold their positions.
  const float width = ScaleWidth() / 2 - 75;
  cmdVisitWebsite.left = 50;
  cmdVisitWebsite.width = width;
  if (!cmdViewEULA.visible) return;  // alone in the row, at the width it has beside the EULA button
  cmdViewEULA.width = width;
  cmdViewEULA.left = cmdVisitWebsite.left + cmdVisitWebsite.width + 50;
}

void AboutBoxForm::ClearURLS() {
  url1.caption = u"";
  url1.tag = u"";
}

void AboutBoxForm::AddURL(std::u16string_view HREF, std::u16string_view DisplayText) {
  if (!url1.caption.empty()) return;
  url1.caption = std::u16string(DisplayText);
  url1.tag = std::u16string(HREF);
}

std::u16string AboutBoxForm::ClipboardText() {
  std::u16string text;
  auto line = [&text](std::u16string_view part) { text.append(part).append(u"\r\n"); };
  line(kRule);
  line(caption);
  line(kRule);
  line(lblProductName.caption);
  line(lblCopyright.caption);
  if (!url1.caption.empty() || !url1.tag.empty())
    line(url1.caption + (url1.caption.empty() || url1.tag.empty() ? u"" : u" ") +
         (url1.tag.empty() ? u"" : u"<" + url1.tag + u">"));
  line(kRule);
  const platform::ComponentFileFacts file = platform::ComponentFile();
  const std::u16string& library = lang_.LangLibPath();
  line(u"File: " + file.name);
  line(u"File version: " + (file.version.empty() ? u"none" : file.version));
  line(u"Architecture: " + file.architecture);
  line(u"Language library: " + (library.empty() ? u"none" : FileNameOf(library)));
  line(u"User locale: " + Decimal(::GetUserDefaultLCID()));
  line(u"Dialog font: " + font.name + u", " + Points(font.size) + u" pt");
  line(u"DPI: " + Decimal(Dpi()));
  line(u"Computer: " + GetLocalComputerName());
  line(kRule);
  return text;
}

bool AboutBoxForm::KeyDown(int key_code, int shift) {
  // Ctrl with Alt is AltGr on many keyboards: a character, not a command.
  if (key_code != 'C' || (shift & (forms::kCtrlMask | forms::kAltMask)) != forms::kCtrlMask) return false;
  forms::SetClipboardText(hWnd(), ClipboardText());
  return true;
}

void AboutBoxForm::cmdOK_Click() { Unload(); }

void AboutBoxForm::cmdVisitWebsite_Click() {
  (void)ShellOpen(hWnd(), info_.WebsiteHREF, u"", u"", kSwShowNormal);
}

void AboutBoxForm::cmdViewEULA_Click() {
  // The button is hidden without a path, but the path may have been cleared since the load.
  if (info_.EULAPath.empty()) return;
  (void)ShellOpen(hWnd(), info_.EULAPath, u"", u"", kSwShowNormal);
}

void AboutBoxForm::url1_DblClick() {
  // No verb: the address's own default action, which for a web address is the
  // browser. No owner window, and an empty tag goes to the shell unchecked.
  (void)seams::ShellExecuteA(nullptr, nullptr, ToAnsi(url1.tag).c_str(), nullptr, nullptr, kSwShowNormal);
}

void ShowAboutBox(AboutBoxForm& form, const std::vector<std::u16string>* links) {
  // Before anything else: a second call while the box is shown (a host's
  // timer, a click on a host window) must leave the open box as it is.
  form.RequireNotShown();
  form.Load();
  form.ClearURLS();
  if (links) {
    for (const std::u16string& entry : *links) {
      // Of the pieces between the "|"s only the first two are used.
      const std::u16string_view text(entry);
      const size_t first = text.find(u'|');
      const std::u16string_view href = text.substr(0, first);
      std::u16string_view shown;
      if (first != std::u16string_view::npos) {
        const std::u16string_view rest = text.substr(first + 1);
        shown = rest.substr(0, rest.find(u'|'));
      }
      form.AddURL(href, shown);
    }
  }
  form.ShowModal();
}

}  // namespace velko
