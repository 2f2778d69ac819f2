// frmAboutBox: the product's About box.
//
// A fixed dialog, 5700 x 1605 twips of client area, centred on the screen, that
// shows the thread's ProductInfo: the name and version, the copyright line, one
// link (url1) and a row with a web-site button and, when a EULA path is set, a
// EULA button. Its captions come from the language library (texts 2, 12, 14 and
// 44, with every "%1" of text 2 replaced by the product name) and its fonts from
// the user's locale. OK (the default button) or the frame's close box unloads
// it; Escape does nothing; Ctrl+C copies its text and the component's facts.
// Every showing loads it afresh from its design.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/product_info.h"
#include "localization/lang_support.h"
#include "platform/win32/forms.h"

namespace velko {

class AboutBoxForm final : public forms::Form {
 public:
  // Identifiers of the texts in the language library.
  static constexpr int32_t kCaptionText = 2;  // "%1" is the product name
  static constexpr int32_t kOKText = 12;
  static constexpr int32_t kVisitWebsiteText = 14;
  static constexpr int32_t kViewEULAText = 44;
  static constexpr int32_t kOpenLinkText = 45;  // the link's default action, for screen readers

  // `info` is read at every load and when a button is pressed; `lang` gives the
  // captions. Both must outlive the form. `module_use` as the form's design has it.
  AboutBoxForm(const ProductInfo& info, const LangSupport& lang, IUnknown* module_use = nullptr);

  // The controls, in tab order.
  forms::Control& lblProductName;
  forms::Control& lblCopyright;
  forms::Control& cmdOK;
  forms::Control& cmdVisitWebsite;
  // caption: the link's text; tag: its address. A link label: while it shows
  // a link, Space and assistive technology's default action (text 45) open it
  // as a double-click does.
  forms::Control& url1;
  forms::Control& cmdViewEULA;

  // Empties the link label (caption, then tag).
  void ClearURLS();
  // Puts the link on the label when its caption is exactly empty: caption
  // DisplayText, then tag HREF. Otherwise the label keeps the link it has. So
  // the first link with a non-empty text stays, and a link with an empty text
  // only sets the tag, for the next link to replace.
  void AddURL(std::u16string_view HREF, std::u16string_view DisplayText);

  // What Ctrl+C copies, lines ended by CR LF, between separator lines as in a
  // message box: the caption; the two labels and the link (its text, then its
  // address in <>; no line when both are empty) as the box shows them; then the
  // facts a support person asks for: the component's file name, file version
  // ("none" without one) and architecture, the file name of the language
  // library held ("none"), the user locale (decimal LCID), the form's face and
  // size in points, the DPI the box is shown at, and the computer's name.
  std::u16string ClipboardText();

  // Ctrl+C, with or without Shift but not with Alt, puts ClipboardText on the
  // clipboard, owned by the box, and takes the key; every other key goes on.
  bool KeyDown(int key_code, int shift) override;

  // Event handlers.
  void cmdOK_Click();            // unloads the form
  void cmdVisitWebsite_Click();  // ShellOpen of WebsiteHREF, unchecked
  void cmdViewEULA_Click();      // ShellOpen of EULAPath; nothing when it is empty
  void url1_DblClick();          // ShellExecuteA of the tag with the shell's default verb

 protected:
  // Locale fonts, EULA button visibility, button row, captions and labels, in
  // that order, then the link's default action (the design's "Open link" where
  // the library has no text 45); a step that fails is skipped and the next one runs.
  void Form_Load() override;

 private:
  void LayOutButtonRow();

  const ProductInfo& info_;
  const LangSupport& lang_;
};

// ShowAboutBox's work on the thread's form: 400, with nothing changed, when it
// is shown already; otherwise load it, ClearURLS, one AddURL per
// link entry ("HREF|DisplayText", split at every "|": the first piece is the
// address, the second the text, a missing piece is empty) in order, then show
// it modally with no owner. Returns when the box has been closed. `links` is
// nullptr when the object has no link list. Errors of these steps (not of the
// load's own steps, which handle theirs) reach the caller.
void ShowAboutBox(AboutBoxForm& form, const std::vector<std::u16string>* links);

}  // namespace velko
