// The system helpers against the real API: error texts from the system's table
// and from the tests' own netmsg.dll, copied into the system folder, INI files in a
// private folder and the computer name; and how a form's failure to make its
// window reaches the caller (a control's is the low-resource sweep's).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/forms.h"
#include "platform/win32/seams.h"
#include "platform/win32/unique_handle.h"
#include "system/api_ini.h"
#include "system/shared_module.h"
#include "tests/support/process_probe.h"
#include "tests/support/raised.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

namespace fs = std::filesystem;
using std::nullopt;
using testing::Raised, testing::RaisedBy;

// FormatMessageW's own reading of `code` without its line break, for comparison:
// Wine's texts are not Windows', so nothing here is compared with a literal system text.
std::u16string SystemText(int32_t code) {
  wchar_t text[2048] = {};
  ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text, 2048, {});
  const std::u16string s = reinterpret_cast<const char16_t*>(text);
  return s.substr(0, s.find_last_not_of(u"\r\n") + 1);
}

// Refuses the thread's windows, as a full desktop heap would.
LRESULT CALLBACK RefuseWindows(int code, WPARAM, LPARAM) {
  return code == HCBT_CREATEWND ? (::SetLastError(2102), 1) : 0;
}

// The network table is the system folder's; the one beside this program is never
// read. A form whose window the system refuses raises the code with the same text.
TEST(GetErrorText, NetworkCodesAskTheSystemsNetworkTableFirst) {
  wchar_t system[MAX_PATH];
  const std::wstring table = std::wstring(system, ::GetSystemDirectoryW(system, MAX_PATH)) + L"\\netmsg.dll";
  ASSERT_TRUE(::CopyFileW((testing::TestProgramFolder() + L"\\netmsg.dll").c_str(), table.c_str(), FALSE));
  const std::pair<int32_t, const char16_t*> cases[] = {
      {2100, u"Test table text 2100, first of the network range."},
      {2102, u"Test table text 2102, first line. Second line ends with a space "},
      {2250, u"Test table text 2250, which the system table has too."},
      {2999, u"Test table text 2999, last of the network range."}};
  for (const auto& [code, text] : cases) EXPECT_EQ(GetErrorText(code), text) << code;
  forms::Form form(forms::FormDesign{u"F", {}, 0, 0, nullptr});
  const UniqueHHook hook(::SetWindowsHookExW(WH_CBT, &RefuseWindows, nullptr, ::GetCurrentThreadId()));
  EXPECT_EQ(RaisedBy([&] { form.ShowModal(); }), Raised(2102, cases[1].second)) << "the box";
  for (int32_t code : {2099, 3000, 5}) EXPECT_EQ(GetErrorText(code), SystemText(code)) << code;
  ::DeleteFileW(table.c_str());
  EXPECT_EQ(GetErrorText(2100), SystemText(2100)) << "without the network table";
}

class IniFiles : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(folder_); }
  std::u16string File(const char* name) const { return (folder_ / name).u16string(); }
  std::string Bytes(const char* name) const {
    return {std::istreambuf_iterator<char>(std::ifstream(folder_ / name, std::ios::binary).rdbuf()), {}};
  }
  const fs::path folder_ = fs::temp_directory_path() / ("velko-ini-" + std::to_string(::GetCurrentProcessId()));
  const bool made_ = fs::create_directories(folder_);
};

TEST_F(IniFiles, AnAbsentArgumentDeletesOrListsWhereAnEmptyOneIsAValue) {
  const std::u16string f = File("a.ini");
  WriteINIValue(u"S", u"k", u"v", f);
  WriteINIValue(u"S", u"j", u"", f);
  WriteINIValue(u"T", u"", u"x", f);
  EXPECT_EQ(Bytes("a.ini"), "[S]\r\nk=v\r\nj=\r\n[T]\r\n=x\r\n");
  EXPECT_EQ(ReadINIValue(u"S", nullopt, u"", f), std::u16string(u"k\0j\0", 4));
  EXPECT_EQ(ReadINIValue(nullopt, u"k", u"", f), std::u16string(u"S\0T\0", 4));
  WriteINIValue(u"S", u"k", nullopt, f);
  EXPECT_EQ(ReadINIValue(u"S", u"k", u"gone", f), u"gone");
  WriteINIValue(u"S", nullopt, u"ignored", f);
  EXPECT_EQ(Bytes("a.ini"), "[T]\r\n=x\r\n");
  std::ofstream(folder_ / "long.ini", std::ios::binary) << "[S]\r\nlong=" << std::string(5000, 'x') << "\r\n";
  EXPECT_EQ(ReadINIValue(u"S", u"long", u"", File("long.ini")), std::u16string(4095, u'x'));
}

TEST_F(IniFiles, OnlyAFailureTheSystemReportsRaises) {
  // A missing file reports 2, but not where the default was copied. Flushing the
  // cache (every argument absent) fails without a code of its own: a code some
  // earlier call left must not be taken for its failure.
  EXPECT_EQ(RaisedBy([&] { (void)ReadINIValue(u"S", u"k", u"", File("none.ini")); }), Raised(2, GetErrorText(2)));
  EXPECT_EQ(ReadINIValue(u"S", u"k", u"d", File("none.ini")), u"d");
  EXPECT_EQ(RaisedBy([] { ::SetLastError(5), WriteINIValue(nullopt, nullopt, nullopt, nullopt); }), Raised());
}

BOOL WINAPI PaddedName(LPWSTR buffer, LPDWORD size) {
  wcscpy(buffer, L"BOX  ");
  *size = 2;  // the reported length is not what ends the name
  return TRUE;
}

TEST(SharedModule, ComputerNameIsTheSystemsWithoutTrailingSpaces) {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(::GetComputerNameW(name, &size));
  EXPECT_EQ(GetLocalComputerName(), reinterpret_cast<const char16_t*>(name));
  testing::SeamSwap swap(seams::GetComputerNameW, &PaddedName);
  EXPECT_EQ(GetLocalComputerName(), u"BOX");
}

}  // namespace
}  // namespace velko
