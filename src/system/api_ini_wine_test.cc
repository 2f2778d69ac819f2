// The INI wrappers' errors carry the system's own texts for the codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error.h"
#include "system/api_ini.h"

namespace velko {
namespace {

std::u16string FormatMessageText(uint32_t code) {
  wchar_t* buffer = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                   code, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::u16string text(buffer ? reinterpret_cast<const char16_t*>(buffer) : u"");
  ::LocalFree(buffer);
  return text;
}

TEST(IniWrappersWine, RaiseMissingFileAndFolderWithTheSystemsTexts) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velko-ini-missing";
  std::filesystem::remove_all(folder);
  struct Case {
    std::filesystem::path file;
    bool write;
    int32_t number;
  } cases[] = {{folder.parent_path() / "velko-none.ini", false, 2}, {folder / "x.ini", false, 3}, {folder / "x.ini", true, 3}};
  for (const Case& c : cases) {
    try {
      if (c.write) {
        WriteINIValue(u"S", u"k", u"v", c.file.u16string());
      } else {
        (void)ReadINIValue(u"S", u"k", u"", c.file.u16string());
      }
      ADD_FAILURE() << "no error for " << c.file;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.description() + u"\r\n", FormatMessageText(c.number));
    }
  }
}

}  // namespace
}  // namespace velko
