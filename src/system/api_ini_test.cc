// The INI wrappers over real files through the build's profile API: the
// system's under Wine, the stand-in natively. Both give these results and leave
// these bytes.
#include "system/api_ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/error.h"
#include "system/api_support.h"

namespace velko {
namespace {

namespace fs = std::filesystem;
using std::nullopt;

class IniFiles : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(folder_); }
  std::u16string File(const char* name) const { return (folder_ / name).u16string(); }
  std::string Bytes(const char* name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const fs::path folder_ = fs::temp_directory_path() / ("velko-ini-" + std::to_string(std::random_device{}()));
  const bool made_ = fs::create_directories(folder_);
};

TEST_F(IniFiles, WritesCreateReplaceAndDeleteWithEmptyNotAbsent) {
  const std::u16string f = File("a.ini");
  WriteINIValue(u"S", u"k", u"v", f);
  EXPECT_EQ(Bytes("a.ini"), "[S]\r\nk=v\r\n");
  WriteINIValue(u"S", u"j", u"", f);   // an empty value, not a deletion
  WriteINIValue(u"T", u"", u"x", f);   // the empty key, not a section deletion
  WriteINIValue(u"s", u"K", u"v2", f);  // names fold case
  EXPECT_EQ(Bytes("a.ini"), "[S]\r\nk=v2\r\nj=\r\n[T]\r\n=x\r\n");
  WriteINIValue(u"S", u"k", nullopt, f);
  EXPECT_EQ(ReadINIValue(u"S", u"k", u"gone", f), u"gone");
  EXPECT_EQ(ReadINIValue(u"T", u"", nullopt, f), u"x");
  WriteINIValue(u"S", nullopt, u"ignored", f);
  EXPECT_EQ(Bytes("a.ini"), "[T]\r\n=x\r\n");
  WriteINIValue(nullopt, nullopt, nullopt, f);  // fails, with no code: nothing raised
}

TEST_F(IniFiles, ReadsValuesDefaultsAndListsEachNameFollowedByANul) {
  const std::u16string f = File("r.ini");
  std::ofstream(folder_ / "r.ini", std::ios::binary) << "[S]\r\nalpha=\"quoted\"\r\nb=\r\nlong=" << std::string(5000, 'x')
                                                     << "\r\n[Other]\r\nc=3\r\n";
  EXPECT_EQ(ReadINIValue(u"S", u"alpha", u"", f), u"quoted");
  EXPECT_EQ(ReadINIValue(u"S", u"b", u"", f), u"");  // nothing and no code: no error
  EXPECT_EQ(ReadINIValue(u"S", u"missing", u"  fallback  ", f), u"  fallback");
  EXPECT_EQ(ReadINIValue(u"S", u"long", u"", f), std::u16string(4095, u'x'));
  EXPECT_EQ(ReadINIValue(u"S", nullopt, u"", f), std::u16string(u"alpha\0b\0long\0", 13));
  EXPECT_EQ(ReadINIValue(nullopt, u"alpha", u"", f), std::u16string(u"S\0Other\0", 8));  // the key plays no part
}

TEST_F(IniFiles, RaisesTheSystemCodeWithItsText) {
  const std::u16string none = File("none.ini"), nowhere = (folder_ / "no" / "x.ini").u16string();
  const std::pair<std::function<void()>, int32_t> cases[] = {
      {[&] { (void)ReadINIValue(u"S", u"k", u"", none); }, 2},
      {[&] { (void)ReadINIValue(u"S", nullopt, nullopt, none); }, 2},
      {[&] { (void)ReadINIValue(u"S", u"k", u"", nowhere); }, 3},
      {[&] { WriteINIValue(u"S", u"k", u"v", nowhere); }, 3},
      {[&] { WriteINIValue(u"S", u"k", u"v", folder_.u16string()); }, 5},
      {[&] { EXPECT_EQ(ReadINIValue(u"S", u"k", u"d", none), u"d"); }, 0},  // something came back
      {[&] { WriteINIValue(u"S", u"k", nullopt, none); }, 0},              // nothing to delete
  };
  for (const auto& [call, number] : cases) {
    try {
      call();
      EXPECT_EQ(number, 0) << "nothing raised";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), number);
      EXPECT_EQ(e.description(), GetErrorText(number));
      EXPECT_NE(e.description(), u"");
    }
  }
  EXPECT_FALSE(fs::exists(none));
}

}  // namespace
}  // namespace velko
