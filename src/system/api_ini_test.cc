// The INI wrappers over real files, through the build's profile API: the
// system's under Wine, the stand-in natively. Both must give these results and
// leave these bytes.
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
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("velko-ini-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::u16string File(const char* name) const { return (folder_ / name).u16string(); }
  std::string Bytes(const char* name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The error that `f` raises, or number -1 when it raises none.
  template <typename F>
  static Error Raised(F f) {
    try {
      f();
    } catch (const Error& e) {
      return e;
    }
    return Error(-1, u"");
  }
  fs::path folder_;
};

TEST_F(IniFiles, WritesCreateReplaceAndDelete) {
  const std::u16string f = File("a.ini");
  WriteINIValue(u"S", u"k", u"v", f);
  EXPECT_EQ(Bytes("a.ini"), "[S]\r\nk=v\r\n");
  WriteINIValue(u"S", u"j", u"w", f);
  WriteINIValue(u"T", u"k", u"x", f);
  WriteINIValue(u"s", u"K", u"v2", f);  // names fold case
  EXPECT_EQ(Bytes("a.ini"), "[S]\r\nk=v2\r\nj=w\r\n[T]\r\nk=x\r\n");
  WriteINIValue(u"S", u"k", nullopt, f);
  EXPECT_EQ(ReadINIValue(u"S", u"k", u"gone", f), u"gone");
  EXPECT_EQ(ReadINIValue(u"S", u"j", u"", f), u"w");
  WriteINIValue(u"S", nullopt, u"ignored", f);
  EXPECT_EQ(Bytes("a.ini"), "[T]\r\nk=x\r\n");
}

TEST_F(IniFiles, EmptyIsNotAbsent) {
  const std::u16string f = File("e.ini");
  WriteINIValue(u"S", u"k", u"", f);  // an empty value, not a deletion
  WriteINIValue(u"S", u"", u"x", f);  // a key with the empty name, not a section deletion
  EXPECT_EQ(Bytes("e.ini"), "[S]\r\nk=\r\n=x\r\n");
  EXPECT_EQ(ReadINIValue(u"S", u"", u"", f), u"x");
  EXPECT_EQ(ReadINIValue(u"S", u"k", u"", f), u"");
  EXPECT_EQ(ReadINIValue(u"S", u"k", nullopt, f), u"");
}

TEST_F(IniFiles, ListsKeysAndSectionsEachFollowedByANul) {
  const std::u16string f = File("l.ini");
  WriteINIValue(u"S", u"alpha", u"1", f);
  WriteINIValue(u"S", u"b", u"2", f);
  WriteINIValue(u"Other", u"c", u"3", f);
  EXPECT_EQ(ReadINIValue(u"S", nullopt, u"", f), std::u16string(u"alpha\0b\0", 8));
  EXPECT_EQ(ReadINIValue(nullopt, nullopt, u"", f), std::u16string(u"S\0Other\0", 8));
  EXPECT_EQ(ReadINIValue(nullopt, u"alpha", u"", f), std::u16string(u"S\0Other\0", 8));  // the key plays no part
}

TEST_F(IniFiles, ReadsDefaultsAndCutsLongValues) {
  const std::u16string f = File("d.ini");
  std::ofstream(folder_ / "d.ini", std::ios::binary) << "[S]\r\nq=\"quoted\"\r\nlong=" << std::string(5000, 'x')
                                                     << "\r\n";
  EXPECT_EQ(ReadINIValue(u"S", u"missing", u"fallback", f), u"fallback");
  EXPECT_EQ(ReadINIValue(u"S", u"missing", u"  spaced  ", f), u"  spaced");
  EXPECT_EQ(ReadINIValue(u"S", u"missing", u"", f), u"");  // nothing and no code: no error
  EXPECT_EQ(ReadINIValue(u"S", u"q", u"", f), u"quoted");
  EXPECT_EQ(ReadINIValue(u"S", u"long", u"", f), std::u16string(4095, u'x'));
}

TEST_F(IniFiles, RaisesTheSystemCodeWithItsText) {
  const std::u16string nowhere = (folder_ / "no" / "x.ini").u16string();
  struct Case {
    const char* what;
    std::function<void()> call;
    int32_t number;
  } cases[] = {
      {"read, missing file", [&] { (void)ReadINIValue(u"S", u"k", u"", File("none.ini")); }, 2},
      {"read, missing file, absent default", [&] { (void)ReadINIValue(u"S", u"k", nullopt, File("none.ini")); }, 2},
      {"key list, missing file", [&] { (void)ReadINIValue(u"S", nullopt, u"", File("none.ini")); }, 2},
      {"read, missing folder", [&] { (void)ReadINIValue(u"S", u"k", u"", nowhere); }, 3},
      {"write, missing folder", [&] { WriteINIValue(u"S", u"k", u"v", nowhere); }, 3},
      {"write, folder as file", [&] { WriteINIValue(u"S", u"k", u"v", folder_.u16string()); }, 5},
      {"read, missing file, default", [&] { (void)ReadINIValue(u"S", u"k", u"d", File("none.ini")); }, -1},
      {"delete from a missing file", [&] { WriteINIValue(u"S", u"k", nullopt, File("none.ini")); }, -1},
  };
  for (const Case& c : cases) {
    const Error e = Raised(c.call);
    EXPECT_EQ(e.number(), c.number) << c.what;
    if (c.number > 0) {
      EXPECT_EQ(e.description(), GetErrorText(c.number)) << c.what;
    }
  }
  EXPECT_FALSE(fs::exists(folder_ / "none.ini"));
}

}  // namespace
}  // namespace velko
