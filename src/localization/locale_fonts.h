// Locale fonts: the face, character set and size that the user's locale needs
// on a dialog. Korean, Traditional Chinese, Japanese and Simplified Chinese get
// a face of their own at 9 points; every other locale gets Tahoma at 8 points
// with the default character set. The locale is the user default LCID, read
// afresh at every call, and only the exact identifiers of the table count (a
// sublanguage such as Chinese, Hong Kong takes the default row).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/win32/forms.h"

namespace velko {

struct LocaleFont {
  int16_t charset;
  std::u16string_view name;
  int16_t size;  // points
};

// The table row of `lcid`.
LocaleFont LocaleFontFor(uint32_t lcid);

// Sets the font's Charset, then its Name, then (unless KeepSize) its Size, from
// the row of the current user locale; bold and underline stay.
void SetLocaleFont(forms::FontValue& font, bool KeepSize) noexcept;

// SetLocaleFont on the form's own font, then on the font of each control in the
// order of the form's Controls collection.
void ApplyLocaleFonts(forms::Form& form, bool KeepSize) noexcept;

}  // namespace velko
