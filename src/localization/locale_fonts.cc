#include "localization/locale_fonts.h"

#include <windows.h>

#include <string>

#include "localization/lang_ids.h"

namespace velko {

LocaleFont LocaleFontFor(uint32_t lcid) {
  switch (lcid) {
    case lang_ids::kKorean:
      return {129, u"\uAD74\uB9BC", 9};  // HANGEUL_CHARSET, Gulim
    case lang_ids::kChineseTaiwan:
      return {136, u"\u65B0\u7D30\u660E\u9AD4", 9};  // CHINESEBIG5_CHARSET, PMingLiU
    case lang_ids::kJapanese:
      // SHIFTJIS_CHARSET, "MS PGothic": full-width M, S, a plain space, full-width P, four katakana.
      return {128, u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF", 9};
    case lang_ids::kChinesePRC:
      return {134, u"\u5B8B\u4F53", 9};  // GB2312_CHARSET, SimSun
    default:
      return {1, u"Tahoma", 8};  // DEFAULT_CHARSET
  }
}

void SetLocaleFont(forms::FontValue& font, bool KeepSize) noexcept {
  const LocaleFont row = LocaleFontFor(::GetUserDefaultLCID());
  font.charset = row.charset;
  font.name = row.name;
  if (!KeepSize) font.size = row.size;
}

void ApplyLocaleFonts(forms::Form& form, bool KeepSize) noexcept {
  SetLocaleFont(form.font, KeepSize);
  for (const auto& control : form.Controls()) SetLocaleFont(control->font, KeepSize);
}

}  // namespace velko
