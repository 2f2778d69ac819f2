// The About box's font in the user's locale, as the system reports it for each
// control: Korean, Chinese and Japanese take a face and a character set of their
// own at 9 points, every other locale Tahoma at 8 with the default character set.
// A wrong character set draws one script with another's glyph shapes. The host
// languages test runs this in the locales of its table.

#include <cmath>
#include <map>
#include <tuple>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

TEST(AboutBoxFont, IsTheUserLocalesFont) {
  using Font = std::tuple<std::wstring, BYTE, long>;  // face, character set, points
  const std::map<LCID, Font> kFonts = {{1041, {L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", SHIFTJIS_CHARSET, 9}},
                                       {1042, {L"\uAD74\uB9BC", HANGEUL_CHARSET, 9}},
                                       {1028, {L"\u65B0\u7D30\u660E\u9AD4", CHINESEBIG5_CHARSET, 9}},
                                       {2052, {L"\u5B8B\u4F53", GB2312_CHARSET, 9}}};
  const auto row = kFonts.find(::GetUserDefaultLCID());
  const Font want = row == kFonts.end() ? Font(L"Tahoma", DEFAULT_CHARSET, 8) : row->second;
  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  Apartment apartment;
  VARIANT_BOOL result;
  EXPECT_TRUE(forms::testing::WhileShown([&] { Create()->ShowAboutBox(&result); }, [&](HWND box) {
    for (HWND control : forms::testing::Children(box)) {
      const LOGFONTW f = forms::testing::FontOf(control);
      EXPECT_EQ(Font(f.lfFaceName, f.lfCharSet, std::lround(-f.lfHeight * 72.0 / dpi)), want) << ::GetUserDefaultLCID();
    }
  }));
}

}  // namespace
}  // namespace velko::testing
