// GetErrorText against the message-table stand-in: the tables it asks, with
// which flags and language, the one-line text, and that every module and buffer
// goes back, in order, on every path.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/portable/fake_messages.h"
#include "platform/text.h"
#include "system/api_support.h"

namespace velko {
namespace {

using platform::FakeMessageApi;
using Names = std::vector<std::u16string>;

TEST(GetErrorText, AsksTheNetworkTableFirstOnlyFrom2100To2999) {
  FakeMessageApi api;
  for (uint32_t code : {5u, 2099u, 2100u, 2101u, 2999u, 3000u}) api.system_table[code] = u"system " + FromUtf8(std::to_string(code)) + u"\r\n";
  for (uint32_t code : {2099u, 2100u, 2999u, 3000u}) api.network_table[code] = u"network " + FromUtf8(std::to_string(code)) + u"\r\n";
  struct Case {
    int32_t code;
    bool network;
    const char16_t* expected;
  } cases[] = {{5, false, u"system 5"},      {2099, false, u"system 2099"}, {2100, true, u"network 2100"},
               {2101, true, u"system 2101"}, {2999, true, u"network 2999"}, {3000, false, u"system 3000"},
               {2500, true, u""},            {123456, false, u""},          {-1, false, u""}};
  for (const Case& c : cases) {
    api.loaded_names.clear(), api.format_flags.clear(), api.format_languages.clear();
    EXPECT_EQ(GetErrorText(c.code, api), c.expected) << c.code;
    EXPECT_EQ(api.loaded_names, c.network ? Names{u"netmsg.dll"} : Names{}) << c.code;
    EXPECT_EQ(api.format_flags, std::vector<uint32_t>{c.network ? 0x1B00u : 0x1300u}) << c.code;
    EXPECT_EQ(api.format_languages, std::vector<uint32_t>{0x400}) << c.code;
    EXPECT_EQ(api.open_modules + api.open_buffers, 0) << c.code;
  }
  api.network_library_present = false;  // then the system table alone
  EXPECT_EQ(GetErrorText(2100, api), u"system 2100");
  EXPECT_EQ(api.format_flags.back(), 0x1300u);
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
      {u"Spaces after the break\r\n   ", u"Spaces after the break"},
      {u"Lone\rCR and\nLF stay\r\n", u"Lone\rCR and\nLF stay"},
  };
  for (const Case& c : cases) {
    FakeMessageApi api;
    api.system_table[7] = c.message;
    EXPECT_EQ(GetErrorText(7, api), c.expected) << ToUtf8(c.message);
  }
}

// The stand-in seen through a log of calls, made to fail on demand.
struct Logged final : platform::MessageApi {
  FakeMessageApi tables;
  std::vector<std::string> calls;
  bool format_throws = false;
  platform::ModuleHandle LoadLibraryAsDatafile(const std::u16string& name) override {
    calls.push_back("load");
    return tables.LoadLibraryAsDatafile(name);
  }
  void FreeLibrary(platform::ModuleHandle module) override {
    calls.push_back("free library");
    tables.FreeLibrary(module);
  }
  char16_t* FormatMessageAlloc(uint32_t flags, platform::ModuleHandle source, uint32_t code, uint32_t language) override {
    calls.push_back("format");
    if (format_throws) throw Error(7, u"Out of memory");
    return tables.FormatMessageAlloc(flags, source, code, language);
  }
  void LocalFree(char16_t* buffer) override {
    calls.push_back("local free");
    tables.LocalFree(buffer);
  }
};

TEST(GetErrorText, FreesTheLibraryAfterTheCallAndTheBufferLastOnEveryPath) {
  using Calls = std::vector<std::string>;
  Logged api;
  api.tables.network_table[2100] = u"text\r\n";
  api.tables.system_table[5] = u"text\r\n";
  const std::pair<int32_t, Calls> cases[] = {{2100, {"load", "format", "free library", "local free"}},
                                             {2500, {"load", "format", "free library"}},
                                             {5, {"format", "local free"}}};
  for (const auto& [code, expected] : cases) {
    api.calls.clear();
    (void)GetErrorText(code, api);
    EXPECT_EQ(api.calls, expected) << code;
  }
  api.format_throws = true;
  try {
    (void)GetErrorText(2100, api);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 7);
    EXPECT_EQ(e.description(), u"Out of memory");
  }
  EXPECT_EQ(api.tables.open_modules + api.tables.open_buffers, 0);
}

}  // namespace
}  // namespace velko
