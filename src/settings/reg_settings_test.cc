// CRegSettings against the build's registry: the in-memory stand-in natively,
// Wine's real registry in the Windows programs. The same cases run on both, so
// the stand-in cannot drift from the real thing. Every test works in a key of
// its own below HKEY_CURRENT_USER and checks that no handle is left open.
#include "settings/reg_settings.h"

#include <cstdio>
#include <map>
#include <random>

#include "settings/reg_settings_test_support.h"

namespace velko::testing {

const std::u16string& TestKey::RunPath() {
  static const std::u16string path = [] {
    char tag[32];
    std::snprintf(tag, sizeof tag, "%zu-%08x", sizeof(void*) * 8, static_cast<unsigned>(std::random_device()()));
    return u"Software\\VELKOTest\\" + FromUtf8(tag);
  }();
  return path;
}

namespace {

using platform::kHKeyCurrentUser;
using platform::kHKeyLocalMachine;
using platform::kHKeyUsers;
using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegMultiSz;
using platform::kRegSz;

constexpr char16_t kConnectText[] = u"Error connecting to remote registry";

// Removes the run's keys once all tests are done (they are empty by then).
class RunKeys : public ::testing::Environment {
 public:
  void SetUp() override { GiveErrorCodesTexts(); }
  void TearDown() override {
    auto& api = platform::DefaultRegistryApi();
    for (int32_t root : {kHKeyCurrentUser, kHKeyLocalMachine}) {
      (void)api.DeleteKey(platform::PredefinedKey(root), TestKey::RunPath());
      (void)api.DeleteKey(platform::PredefinedKey(root), u"Software\\VELKOTest");  // refused while others use it
    }
  }
};
[[maybe_unused]] ::testing::Environment* const run_keys = ::testing::AddGlobalTestEnvironment(new RunKeys);

class RegSettingsTest : public ::testing::Test {
 protected:
  RegSettingsTest() { settings_.SetPath(key_.path()); }
  void TearDown() override { EXPECT_EQ(registry_.open, 0) << "keys or connections left open"; }

  static std::u16string TestName() { return FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name()); }

  CountingRegistry registry_{platform::DefaultRegistryApi()};
  TestKey key_{kHKeyCurrentUser, TestName()};
  CRegSettings settings_{registry_};
};

TEST_F(RegSettingsTest, NewObjectPointsAtHkcuSoftwareOnThisMachine) {
  CRegSettings fresh;
  EXPECT_EQ(fresh.HKeyRoot(), -2147483647);
  EXPECT_EQ(fresh.Path(), u"Software");
  EXPECT_EQ(fresh.MachineName(), u"");
}

// Raw values of every shape read through GetString and GetDWord, neither of
// which looks at the type.
TEST_F(RegSettingsTest, ReadsAnyTypeAsTextWithoutItsLastUnitAndAsLittleEndianDword) {
  const std::vector<uint8_t> ab_c = {'a', 0, 'b', 0, 'c'};
  struct Case {
    const char* what;
    uint32_t type;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> tail;  // what follows the data in memory
    std::u16string text;
    int32_t dword;
  } cases[] = {
      {"sz with NUL", kRegSz, Utf16Bytes(std::u16string(u"abc\0", 4)), {0, 0}, u"abc", -7},
      {"sz counted without NUL, NUL after", kRegSz, Utf16Bytes(u"abc"), {0, 0}, u"abc", -7},
      {"sz without NUL", kRegSz, Utf16Bytes(u"abc"), {'d', 0}, u"ab", -7},
      {"sz of no bytes", kRegSz, {}, {'d', 0}, u"default", -7},
      {"sz of a NUL", kRegSz, {0, 0}, {}, u"", 0},
      {"sz of one char", kRegSz, Utf16Bytes(std::u16string(u"A\0", 2)), {}, u"A", 0x41},
      {"dword", kRegDword, {0x78, 0x56, 0x34, 0x12}, {}, u"\u5678", 0x12345678},
      {"negative dword", kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}, {}, u"\uFFFE", -2},
      {"1 byte", kRegBinary, {0x41}, {}, u"", 0x41},
      {"3 bytes: 0.5 rounds to 0", kRegBinary, {0x41, 0, 0x42}, {}, u"", 0x420041},
      {"5 bytes: 1.5 rounds to 2", kRegBinary, ab_c, {}, u"ab", -7},
      {"7 bytes: 2.5 rounds to 2", kRegBinary, {'a', 0, 'b', 0, 'c', 0, 'd'}, {}, u"ab", -7},
      {"9 bytes: 3.5 rounds to 4", kRegBinary, {'a', 0, 'b', 0, 'c', 0, 'd', 0, 'e'}, {}, u"abcd", -7},
      {"multi-sz keeps inner NULs", kRegMultiSz, Utf16Bytes(std::u16string(u"a\0b\0\0", 5)), {}, std::u16string(u"a\0b\0", 4), -7},
      {"expand-sz is not expanded", kRegExpandSz, Utf16Bytes(std::u16string(u"%PATH%\0", 7)), {}, u"%PATH%", -7},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::u16string name = u"v" + FromUtf8(std::to_string(i++));
    key_.Put(u"s", name, c.type, c.bytes, c.tail);
    EXPECT_EQ(ToUtf8(settings_.GetString(u"s", name, u"default")), ToUtf8(c.text)) << c.what;
    EXPECT_EQ(settings_.GetDWord(u"s", name, -7), c.dword) << c.what;
  }
}

TEST_F(RegSettingsTest, MissingKeyOrValueGivesTheDefault) {
  key_.Put(u"s", u"there", kRegSz, Utf16Bytes(u"x"));
  EXPECT_EQ(settings_.GetString(u"nokey", u"v", u"d"), u"d");
  EXPECT_EQ(settings_.GetString(u"s", u"novalue", u"d"), u"d");
  EXPECT_EQ(settings_.GetString(u"s", u"novalue"), u"");
  EXPECT_EQ(settings_.GetDWord(u"nokey", u"v", 9), 9);
  EXPECT_EQ(settings_.GetDWord(u"s", u"novalue", 9), 9);
  EXPECT_EQ(settings_.GetDWord(u"s", u"novalue"), 0);
}

// What the object writes, read back with the raw interface, and read again.
TEST_F(RegSettingsTest, WritesNulTerminatedSzAndLittleEndianDword) {
  const std::u16string embedded(u"a\0b", 3);
  EXPECT_TRUE(settings_.SaveString(key_.Section(u"w"), u"text", u"h\u00e9llo \u65e5"));
  EXPECT_TRUE(settings_.SaveString(u"w", u"embedded", embedded));
  EXPECT_TRUE(settings_.SaveDWord(u"w", u"min", INT32_MIN));
  EXPECT_TRUE(settings_.SaveDWord(u"w", u"minus2", -2));
  EXPECT_EQ(key_.Get(u"w", u"text"), (RawValue{kRegSz, Utf16Bytes(std::u16string(u"h\u00e9llo \u65e5\0", 8))}));
  EXPECT_EQ(key_.Get(u"w", u"embedded"), (RawValue{kRegSz, Utf16Bytes(std::u16string(u"a\0b\0", 4))}));
  EXPECT_EQ(key_.Get(u"w", u"minus2"), (RawValue{kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(settings_.GetString(u"w", u"text"), u"h\u00e9llo \u65e5");
  EXPECT_EQ(settings_.GetString(u"w", u"embedded"), embedded);
  EXPECT_EQ(settings_.GetDWord(u"w", u"min"), INT32_MIN);
  EXPECT_TRUE(settings_.SaveString(u"w", u"text", u"shorter"));  // overwrite
  EXPECT_EQ(settings_.GetString(u"w", u"text"), u"shorter");
}

TEST_F(RegSettingsTest, SavingTheEmptyStringRemovesTheValueAndStillMakesTheKey) {
  EXPECT_TRUE(settings_.SaveString(key_.Section(u"e"), u"v", u"x"));
  EXPECT_TRUE(settings_.SaveString(u"e", u"v", u""));
  EXPECT_EQ(key_.Get(u"e", u"v"), std::nullopt);
  EXPECT_EQ(settings_.GetString(u"e", u"v", u"d"), u"d");
  EXPECT_TRUE(settings_.SaveString(key_.Section(u"new\\deeper"), u"never", u""));
  EXPECT_TRUE(key_.Exists(u"new\\deeper"));
  EXPECT_EQ(key_.Get(u"new\\deeper", u"never"), std::nullopt);
}

TEST_F(RegSettingsTest, EmptyAndStarNameTheDefaultValue) {
  EXPECT_TRUE(settings_.SaveString(key_.Section(u"d"), u"*", u"star"));
  EXPECT_EQ(key_.Get(u"d", u""), (RawValue{kRegSz, Utf16Bytes(std::u16string(u"star\0", 5))}));
  EXPECT_EQ(settings_.GetString(u"d", u""), u"star");
  EXPECT_TRUE(settings_.SaveDWord(u"d", u"", 5));
  EXPECT_EQ(settings_.GetDWord(u"d", u"*"), 5);
  EXPECT_EQ(key_.Get(u"d", u"*"), std::nullopt);  // no value is literally named "*"
  // DeleteSetting: "*" deletes the default value; "" would delete the whole key.
  EXPECT_TRUE(settings_.DeleteSetting(u"d", u"*"));
  EXPECT_EQ(key_.Get(u"d", u""), std::nullopt);
  EXPECT_TRUE(key_.Exists(u"d"));
}

TEST_F(RegSettingsTest, SectionIsJoinedToPathWithOneBackslashAndNothingTrimmed) {
  EXPECT_TRUE(settings_.SaveDWord(key_.Section(u"a\\b"), u"v", 1));
  EXPECT_EQ(key_.Get(u"a\\b", u"v"), (RawValue{kRegDword, {1, 0, 0, 0}}));
  EXPECT_TRUE(settings_.SaveDWord(u"", u"top", 2));  // Path itself
  EXPECT_EQ(key_.Get(u"", u"top"), (RawValue{kRegDword, {2, 0, 0, 0}}));
  // A Path ending in "\" doubles the backslash; Wine (and the stand-in) read a
  // run of backslashes inside a path as one.
  settings_.SetPath(key_.path() + u"\\");
  EXPECT_EQ(settings_.GetDWord(u"a\\b", u"v", 3), 1);
  // An empty Path with a Section begins with a backslash, which the registry refuses (161).
  settings_.SetPath(u"");
  ExpectError([&] { (void)settings_.GetString(u"x", u"v"); }, 161, SystemText(161), "GetString");
  ExpectError([&] { (void)settings_.SaveDWord(u"x", u"v", 1); }, 161, SystemText(161), "SaveDWord");
  EXPECT_FALSE(settings_.KeyExists(u"x", u""));
  EXPECT_EQ(settings_.GetAllSettings(u"x"), SettingsTable());
}

TEST_F(RegSettingsTest, KeyExistsTellsWhetherTheSectionOpensWhateverTheKey) {
  key_.Put(u"k", u"v", kRegDword, {1, 0, 0, 0});
  for (const char16_t* key : {u"", u"*", u"v", u"no such value"}) {
    EXPECT_TRUE(settings_.KeyExists(u"k", key)) << ToUtf8(key);
    EXPECT_FALSE(settings_.KeyExists(u"none", key)) << ToUtf8(key);
  }
}

TEST_F(RegSettingsTest, DeleteSettingDeletesValuesAndChildlessSections) {
  key_.Put(u"v", u"a", kRegSz, Utf16Bytes(u"x"));
  key_.Put(u"tree\\leaf", u"a", kRegSz, Utf16Bytes(u"x"));
  EXPECT_FALSE(settings_.DeleteSetting(u"nokey", u"a"));
  ExpectError([&] { (void)settings_.DeleteSetting(u"v", u"nothing"); }, 2, SystemText(2), "missing value");
  EXPECT_TRUE(settings_.DeleteSetting(u"v", u"a"));
  EXPECT_EQ(key_.Get(u"v", u"a"), std::nullopt);
  ExpectError([&] { (void)settings_.DeleteSetting(u"tree"); }, 5, SystemText(5), "key with sub-keys");
  EXPECT_TRUE(settings_.DeleteSetting(u"tree\\leaf"));  // with its value
  EXPECT_FALSE(key_.Exists(u"tree\\leaf"));
  EXPECT_TRUE(settings_.DeleteSetting(u"tree", u""));
  EXPECT_FALSE(key_.Exists(u"tree"));
  ExpectError([&] { (void)settings_.DeleteSetting(u"tree"); }, 2, SystemText(2), "missing section");
  settings_.SetPath(key_.path() + u"\\missing");
  EXPECT_FALSE(settings_.DeleteSetting(u"tree"));  // Path itself cannot be opened
}

TEST_F(RegSettingsTest, GetAllSettingsListsSzValuesInEnumerationOrder) {
  EXPECT_EQ(settings_.GetAllSettings(u"missing"), SettingsTable());
  key_.Put(u"none", u"d", kRegDword, {1, 0, 0, 0});
  key_.Put(u"none", u"e", kRegExpandSz, Utf16Bytes(std::u16string(u"%x%\0", 4)));
  EXPECT_EQ(settings_.GetAllSettings(u"none"), SettingsTable());
  // Wine enumerates values sorted by name, Windows (and the stand-in) in the
  // order they were written, so the expected order is the raw enumeration's.
  key_.Put(u"mix", u"zeta", kRegSz, Utf16Bytes(std::u16string(u"last\0", 5)));
  key_.Put(u"mix", u"dw", kRegDword, {1, 0, 0, 0});
  key_.Put(u"mix", u"Alpha", kRegSz, Utf16Bytes(std::u16string(u"first\0", 6)));
  key_.Put(u"mix", u"", kRegSz, {0, 0});
  key_.Put(u"mix", u"odd", kRegSz, {'a', 0, 'b', 0, 'c'}, {'d', 0});
  key_.Put(u"mix", u"short", kRegSz, {'a'}, {'d', 0});
  const SettingsTable all = settings_.GetAllSettings(u"mix");
  SettingsTable expected;
  platform::RegistryApi& raw = platform::DefaultRegistryApi();
  platform::ScopedRegKey mix(raw);
  ASSERT_EQ(raw.OpenKey(platform::PredefinedKey(kHKeyCurrentUser), key_.path() + u"\\mix", 0, platform::kKeyRead,
                        mix.put()), 0);
  for (uint32_t i = 0;; ++i) {
    char16_t name[16];
    uint32_t chars = 16, type = 0;
    if (raw.EnumValue(mix.get(), i, name, &chars, &type, nullptr, nullptr) != 0) break;
    const std::u16string n(name, chars);
    const std::map<std::u16string, std::u16string> texts = {
        {u"zeta", u"last"}, {u"Alpha", u"first"}, {u"", u""}, {u"odd", u"ab"}, {u"short", u""}};
    if (type == kRegSz) expected.push_back({n, texts.at(n)});
  }
  EXPECT_EQ(expected.size(), 5u);
  EXPECT_EQ(all, expected);
}

TEST_F(RegSettingsTest, GetAllSettingsTakesManyLongNamesAndLongData) {
  SettingsTable expected;
  for (int i = 0; i < 120; ++i) {
    const std::u16string name = FromUtf8(std::to_string(1000 + i)) + std::u16string(i == 7 ? 16000 : i, u'n');
    const std::u16string text = std::u16string(i == 3 ? 70000 : i * 10, u'\u00e9') + u"|";
    key_.Put(u"many", name, kRegSz, Utf16Bytes(text + u'\0'));
    expected.push_back({name, text});
  }
  SettingsTable all = settings_.GetAllSettings(u"many");
  std::sort(all.begin(), all.end());  // the order is the system's (see above)
  EXPECT_TRUE(all == expected) << all.size() << " rows";
}

// Remote registries are reached only for HKLM and HKU with a MachineName, with
// the name exactly as stored. Wine fails at once with 53 for any name but the
// local computer's and makes no network attempt; Windows tries the network and
// may answer with another code, so the expected number is the raw call's own.
TEST_F(RegSettingsTest, UnreachableMachineFailsTheRemoteOperationsOnly) {
  const std::u16string machine = u"VELKO-NO-SUCH-HOST";
  platform::RegKey connection = nullptr;
  const int32_t n = platform::DefaultRegistryApi().ConnectRegistry(
      machine, platform::PredefinedKey(kHKeyLocalMachine), &connection);
  ASSERT_NE(n, 0);
  settings_.SetMachineName(machine);
  for (int32_t root : {kHKeyLocalMachine, kHKeyUsers}) {
    settings_.SetHKeyRoot(root);
    ExpectError([&] { (void)settings_.GetString(u"s", u"v", u"d"); }, n, kConnectText, "GetString");
    ExpectError([&] { (void)settings_.GetDWord(u"s", u"v", 1); }, n, kConnectText, "GetDWord");
    ExpectError([&] { (void)settings_.SaveString(u"s", u"v", u"x"); }, n, kConnectText, "SaveString");
    ExpectError([&] { (void)settings_.SaveDWord(u"s", u"v", 1); }, n, kConnectText, "SaveDWord");
    EXPECT_FALSE(settings_.KeyExists(u"", u""));
  }
  // DeleteSetting and GetAllSettings stay on this machine's HKLM.
  TestKey machine_key(kHKeyLocalMachine, TestName());
  machine_key.Put(u"s", u"v", kRegSz, Utf16Bytes(std::u16string(u"here\0", 5)));
  settings_.SetHKeyRoot(kHKeyLocalMachine);
  settings_.SetPath(machine_key.path());
  EXPECT_EQ(settings_.GetAllSettings(u"s"), (SettingsTable{{u"v", u"here"}}));
  EXPECT_TRUE(settings_.DeleteSetting(u"s", u"v"));
  EXPECT_EQ(machine_key.Get(u"s", u"v"), std::nullopt);
  // Any other root stays local whatever MachineName says.
  settings_.SetHKeyRoot(kHKeyCurrentUser);
  settings_.SetPath(key_.path());
  EXPECT_TRUE(settings_.SaveString(key_.Section(u"local"), u"v", u"x"));
  EXPECT_EQ(settings_.GetString(u"local", u"v"), u"x");
  settings_.SetHKeyRoot(platform::kHKeyClassesRoot);
  settings_.SetPath(u"");
  EXPECT_TRUE(settings_.KeyExists(u"", u""));  // a connect would have failed
}

TEST_F(RegSettingsTest, LocalComputerNameReachesThisRegistryWithOrWithoutBackslashes) {
  TestKey machine_key(kHKeyLocalMachine, TestName());
  settings_.SetHKeyRoot(kHKeyLocalMachine);
  settings_.SetPath(machine_key.path());
  for (const std::u16string prefix : {u"", u"\\\\"}) {
    settings_.SetMachineName(prefix + LocalComputerName());
    EXPECT_TRUE(settings_.SaveString(machine_key.Section(u"r"), u"v", prefix + u"x"));
    EXPECT_TRUE(settings_.SaveDWord(u"r", u"d", 12));
    EXPECT_EQ(machine_key.Get(u"r", u"v"), (RawValue{kRegSz, Utf16Bytes(prefix + u"x" + u'\0')}));
    EXPECT_EQ(settings_.GetString(u"r", u"v"), prefix + u"x");
    EXPECT_EQ(settings_.GetDWord(u"r", u"d"), 12);
    EXPECT_TRUE(settings_.KeyExists(u"r", u""));
    EXPECT_FALSE(settings_.KeyExists(u"none", u""));
    EXPECT_EQ(settings_.GetString(u"none", u"v", u"d"), u"d");
  }
}

// Failures the registry itself produces, through the whole object: writes on
// keys the registry opened for reading only (5), a non-volatile key below a
// volatile one (1021), and a root that is no key at all (6).
TEST_F(RegSettingsTest, RegistryRefusalsComeBackWithTheirCodeAndText) {
  key_.Put(u"ro", u"v", kRegSz, Utf16Bytes(u"x"));
  registry_.read_only = true;
  ExpectError([&] { (void)settings_.SaveString(u"ro", u"v", u"y"); }, 5, SystemText(5), "SaveString");
  ExpectError([&] { (void)settings_.SaveString(u"ro", u"none", u""); }, 5, SystemText(5), "SaveString empty");
  ExpectError([&] { (void)settings_.SaveDWord(u"ro", u"v", 1); }, 5, SystemText(5), "SaveDWord");
  ExpectError([&] { (void)settings_.DeleteSetting(u"ro", u"v"); }, 5, SystemText(5), "DeleteSetting");
  EXPECT_EQ(settings_.GetString(u"ro", u"v"), u"x");
  registry_.read_only = false;

  platform::RegistryApi& raw = platform::DefaultRegistryApi();
  platform::ScopedRegKey volatile_key(raw);
  ASSERT_EQ(raw.CreateKey(platform::PredefinedKey(kHKeyCurrentUser), key_.path() + u"\\" + key_.Section(u"vol"),
                          platform::kRegOptionVolatile, platform::kKeyAllAccess, volatile_key.put()), 0);
  ExpectError([&] { (void)settings_.SaveString(u"vol\\child", u"v", u"x"); }, 1021, SystemText(1021), "volatile");
  ExpectError([&] { (void)settings_.SaveDWord(u"vol\\child", u"v", 1); }, 1021, SystemText(1021), "volatile");
  EXPECT_TRUE(settings_.SaveString(u"vol", u"v", u"x"));  // the volatile key itself is fine

  settings_.SetHKeyRoot(0x7654321);
  ExpectError([&] { (void)settings_.GetString(u"s", u"v"); }, 6, SystemText(6), "GetString");
  ExpectError([&] { (void)settings_.GetDWord(u"s", u"v"); }, 6, SystemText(6), "GetDWord");
  EXPECT_FALSE(settings_.KeyExists(u"s", u""));
  EXPECT_FALSE(settings_.DeleteSetting(u"s", u"v"));
  EXPECT_EQ(settings_.GetAllSettings(u"s"), SettingsTable());
}

// The interface's own answers, with the exact codes the object relies on. This
// runs on the stand-in and on Wine's registry alike, which keeps the two twins.
TEST_F(RegSettingsTest, RegistryInterfaceAnswersWithTheSystemsCodes) {
  platform::RegistryApi& raw = platform::DefaultRegistryApi();
  const platform::RegKey hkcu = platform::PredefinedKey(kHKeyCurrentUser);
  key_.Put(u"t", u"v", kRegSz, Utf16Bytes(u"abc"));  // 8 bytes with the NUL the system adds
  key_.Put(u"t\\child", u"v", kRegSz, Utf16Bytes(u"x"));
  platform::ScopedRegKey ro(raw), doomed(raw);
  ASSERT_EQ(raw.OpenKey(hkcu, key_.path() + u"\\t", 0, platform::kKeyRead, ro.put()), 0);
  constexpr uint32_t kSentinel = 0xDEADBEEF;
  uint32_t type = kSentinel, size = 4, chars = 8;
  uint8_t data[8] = {};
  char16_t name[8];
  EXPECT_EQ(raw.QueryValue(ro.get(), u"v", nullptr, data, &size), 234);
  EXPECT_EQ(size, 8u);  // the size needed comes back with ERROR_MORE_DATA
  size = kSentinel;
  EXPECT_EQ(raw.QueryValue(ro.get(), u"none", &type, nullptr, &size), 2);
  EXPECT_EQ(type + size, 2 * kSentinel);
  EXPECT_EQ(raw.SetValue(ro.get(), u"v", kRegDword, data, 4), 5);
  EXPECT_EQ(raw.DeleteValue(ro.get(), u"none"), 5);  // refused before the value is looked for
  EXPECT_EQ(raw.EnumValue(ro.get(), 1, name, &chars, &type, nullptr, nullptr), 259);
  chars = 1;  // "v" needs 2 with its terminator
  EXPECT_EQ(raw.EnumValue(ro.get(), 0, name, &chars, &type, nullptr, nullptr), 234);
  const auto sentinel = reinterpret_cast<platform::RegKey>(uintptr_t{kSentinel});
  platform::RegKey untouched = sentinel;
  EXPECT_EQ(raw.OpenKey(hkcu, key_.path() + u"\\none", 0, platform::kKeyRead, &untouched), 2);
  EXPECT_EQ(raw.OpenKey(hkcu, u"\\Software", 0, platform::kKeyRead, &untouched), 161);
  // Wine's answer at once; Windows tries the network first and may give another code.
  EXPECT_EQ(raw.ConnectRegistry(u"VELKO-NO-SUCH-HOST", platform::PredefinedKey(kHKeyLocalMachine), &untouched), 53);
  EXPECT_EQ(untouched, sentinel);
  EXPECT_EQ(raw.DeleteKey(hkcu, key_.path() + u"\\t"), 5);  // it has a sub-key
  ASSERT_EQ(raw.OpenKey(hkcu, key_.path() + u"\\t\\child", 0, platform::kKeyAllAccess, doomed.put()), 0);
  EXPECT_EQ(raw.DeleteKey(hkcu, key_.path() + u"\\t\\child"), 0);
  EXPECT_EQ(raw.SetValue(doomed.get(), u"v", kRegDword, data, 4), 1018);  // a handle to a deleted key
}

}  // namespace
}  // namespace velko::testing
