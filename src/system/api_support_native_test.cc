// GetErrorText against the message-table stand-in: which tables it asks, with
// which flags and language, how it cleans the text, and that it gives back every
// module and buffer it takes, in order, on every path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/portable/fake_messages.h"
#include "platform/text.h"
#include "system/api_support.h"

namespace velko {
namespace {

using platform::FakeMessageApi;

FakeMessageApi Tables() {
  FakeMessageApi api;
  api.system_table = {{5, u"Access is denied.\r\n"}, {2099, u"system 2099\r\n"}, {2100, u"system 2100\r\n"},
                      {2101, u"system 2101\r\n"},    {2999, u"system 2999\r\n"}, {3000, u"system 3000\r\n"}};
  api.network_table = {{2099, u"network 2099\r\n"}, {2100, u"network 2100\r\n"}, {2999, u"network 2999\r\n"},
                       {3000, u"network 3000\r\n"}};
  return api;
}

TEST(GetErrorText, AsksTheNetworkTableFirstOnlyFrom2100To2999) {
  struct Case {
    int32_t code;
    bool network;
    const char16_t* expected;
  } cases[] = {
      {5, false, u"Access is denied."},   {2099, false, u"system 2099"}, {2100, true, u"network 2100"},
      {2101, true, u"system 2101"},       {2999, true, u"network 2999"}, {3000, false, u"system 3000"},
      {123456, false, u""},               {2500, true, u""},             {-1, false, u""},
  };
  for (const Case& c : cases) {
    FakeMessageApi api = Tables();
    EXPECT_EQ(GetErrorText(c.code, api), c.expected) << c.code;
    EXPECT_EQ(api.loaded_names, c.network ? std::vector<std::u16string>{u"netmsg.dll"} : std::vector<std::u16string>{})
        << c.code;
    EXPECT_EQ(api.format_flags, std::vector<uint32_t>{c.network ? 0x1B00u : 0x1300u}) << c.code;
    EXPECT_EQ(api.format_languages, std::vector<uint32_t>{0x400}) << c.code;
    EXPECT_EQ(api.open_modules, 0) << c.code;
    EXPECT_EQ(api.open_buffers, 0) << c.code;
  }
}

TEST(GetErrorText, UsesTheSystemTableAloneWithoutTheNetworkLibrary) {
  FakeMessageApi api = Tables();
  api.network_library_present = false;
  EXPECT_EQ(GetErrorText(2100, api), u"system 2100");
  EXPECT_EQ(api.format_flags, std::vector<uint32_t>{0x1300});
  EXPECT_EQ(api.open_modules, 0);
}

TEST(GetErrorText, MakesOneLineOfTheMessage) {
  struct Case {
    const char16_t* message;
    const char16_t* expected;
  } cases[] = {
      {u"One line.\r\n", u"One line."},
      {u"First line.\r\nSecond line.\r\n", u"First line. Second line."},
      {u"Ends with a space \r\n", u"Ends with a space "},
      {u"Blank line after.\r\n\r\n", u"Blank line after. "},  // the final pair goes once
      {u"\r\n", u""},
      {u"  Leading stays.\r\n", u"  Leading stays."},
      {u"Trailing spaces go   ", u"Trailing spaces go"},
      {u"Spaces after the break\r\n   ", u"Spaces after the break"},
      {u"Lone\rCR and\nLF stay\r\n", u"Lone\rCR and\nLF stay"},
      {u"No break", u"No break"},
  };
  for (const Case& c : cases) {
    FakeMessageApi api;
    api.system_table[7] = c.message;
    EXPECT_EQ(GetErrorText(7, api), c.expected) << ToUtf8(c.message);
    EXPECT_EQ(api.open_buffers, 0);
  }
}

// The stand-in seen through a log of calls, and made to fail on demand.
class Logged final : public platform::MessageApi {
 public:
  explicit Logged(FakeMessageApi& inner) : inner_(inner) {}
  std::vector<std::string> calls;
  bool format_throws = false;

  platform::ModuleHandle LoadLibraryAsDatafile(const std::u16string& name) override {
    calls.push_back("load");
    return inner_.LoadLibraryAsDatafile(name);
  }
  void FreeLibrary(platform::ModuleHandle module) override {
    calls.push_back("free library");
    inner_.FreeLibrary(module);
  }
  char16_t* FormatMessageAlloc(uint32_t flags, platform::ModuleHandle source, uint32_t code, uint32_t language) override {
    calls.push_back("format");
    if (format_throws) throw Error(7, u"Out of memory");
    return inner_.FormatMessageAlloc(flags, source, code, language);
  }
  void LocalFree(char16_t* buffer) override {
    calls.push_back("local free");
    inner_.LocalFree(buffer);
  }

 private:
  FakeMessageApi& inner_;
};

TEST(GetErrorText, FreesTheLibraryAfterTheCallAndTheBufferLast) {
  using Calls = std::vector<std::string>;
  FakeMessageApi tables = Tables();
  Logged api(tables);
  (void)GetErrorText(2100, api);
  EXPECT_EQ(api.calls, (Calls{"load", "format", "free library", "local free"}));
  api.calls.clear();
  (void)GetErrorText(2500, api);  // no text: no buffer to free
  EXPECT_EQ(api.calls, (Calls{"load", "format", "free library"}));
  api.calls.clear();
  (void)GetErrorText(5, api);
  EXPECT_EQ(api.calls, (Calls{"format", "local free"}));
}

TEST(GetErrorText, PassesAnErrorOnUnchangedAndStillFreesTheLibrary) {
  FakeMessageApi tables = Tables();
  Logged api(tables);
  api.format_throws = true;
  try {
    (void)GetErrorText(2100, api);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 7);
    EXPECT_EQ(e.description(), u"Out of memory");
  }
  EXPECT_EQ(tables.open_modules, 0);
}

}  // namespace
}  // namespace velko
