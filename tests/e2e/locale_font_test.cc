// The About box's font in the user's locale, as the system reports it for each
// control: Korean, Chinese and Japanese take a face and a character set of their
// own at 9 points, every other locale Tahoma at 8 with the default character set.
// A wrong character set draws one script with another's glyph shapes. The host
// test runs this in each of its locales.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

using namespace forms::testing;  // NOLINT: the driver's vocabulary

TEST(AboutBoxFont, IsTheFaceCharacterSetAndSizeOfTheUserLocale) {
  const struct { LCID lcid; const wchar_t* face; BYTE charset; int points; } kFonts[] = {
      {1041, L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", SHIFTJIS_CHARSET, 9},  // MS PGothic
      {1042, L"\uAD74\uB9BC", HANGEUL_CHARSET, 9},                                 // Gulim
      {1028, L"\u65B0\u7D30\u660E\u9AD4", CHINESEBIG5_CHARSET, 9},                 // PMingLiU
      {2052, L"\u5B8B\u4F53", GB2312_CHARSET, 9},                                  // SimSun
      {0, L"Tahoma", DEFAULT_CHARSET, 8}};                                         // any other
  const auto* font = std::begin(kFonts);
  while (font->lcid && font->lcid != ::GetUserDefaultLCID()) ++font;
  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  Apartment apartment;
  auto o = Create();
  VARIANT_BOOL result;
  EXPECT_TRUE(WhileShown([&] { o->ShowAboutBox(&result); }, [&](HWND box) {
    for (HWND control : Children(box)) {
      const LOGFONTW f = FontOf(control);
      EXPECT_EQ(std::tuple(std::wstring(f.lfFaceName), f.lfCharSet, f.lfHeight),
                std::tuple(std::wstring(font->face), font->charset, -std::lround(font->points * dpi / 72.0)))
          << "user locale " << ::GetUserDefaultLCID();
    }
  }));
}

}  // namespace
}  // namespace velko::testing
