#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "system/shared_module.h"

namespace velko {
namespace {

TEST(SharedModuleWine, ComputerNameIsTheSystemsAndFileAttributesReadBack) {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(::GetComputerNameW(name, &size));
  EXPECT_EQ(GetLocalComputerName(), std::u16string(reinterpret_cast<const char16_t*>(name), size));

  const std::filesystem::path path = std::filesystem::temp_directory_path() / "velko-attributes.txt";
  std::ofstream(path) << "x";
  const std::u16string file = path.u16string();
  const auto attributes = [&] { return ::GetFileAttributesW(reinterpret_cast<LPCWSTR>(file.c_str())); };
  // Wine reports every plain file as archived, whatever was set; the read-only
  // bit is the one it keeps (as the file's permissions).
  SetFileAttr(file, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(attributes() & ~FILE_ATTRIBUTE_ARCHIVE, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttr(file, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(attributes() & FILE_ATTRIBUTE_READONLY, 0u);
  std::filesystem::remove(path);
  SetFileAttr(file, FILE_ATTRIBUTE_READONLY);  // silently nothing
  EXPECT_EQ(attributes(), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace velko
