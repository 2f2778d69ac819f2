// The INI wrappers over a profile API that records what reaches it and answers
// as told: argument order, absent versus empty, the buffer, the raise rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "platform/portable/fake_messages.h"
#include "system/api_ini.h"
#include "system/api_support.h"

namespace velko {
namespace {

class Recorded final : public platform::ProfileApi {
 public:
  struct Call {
    IniString a, b, c, file;
    uint32_t size;
    bool operator==(const Call&) const = default;
  };
  std::vector<Call> calls;
  platform::ProfileCall reply{0, 0};
  std::u16string fill;  // what a read puts into the buffer

  platform::ProfileCall GetString(const char16_t* section, const char16_t* key, const char16_t* def, char16_t* buffer,
                                  uint32_t size, const char16_t* file) override {
    calls.push_back({Opt(section), Opt(key), Opt(def), Opt(file), size});
    std::copy(fill.begin(), fill.end(), buffer);
    return reply;
  }
  platform::ProfileCall WriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                                    const char16_t* file) override {
    calls.push_back({Opt(section), Opt(key), Opt(value), Opt(file), 0});
    return reply;
  }

 private:
  static IniString Opt(const char16_t* s) { return s ? IniString(s) : std::nullopt; }
};

TEST(IniWrappers, PassArgumentsInOrderWithAbsentAsNullAndEmptyAsEmpty) {
  Recorded api;
  platform::FakeMessageApi messages;
  (void)ReadINIValue(u"S", std::nullopt, u"", u"f.ini", api, messages);
  (void)ReadINIValue(std::nullopt, u"K", u"D", std::nullopt, api, messages);
  WriteINIValue(u"S", u"", std::nullopt, u"f.ini", api, messages);
  WriteINIValue(std::nullopt, std::nullopt, u"", u"", api, messages);
  const std::vector<Recorded::Call> expected = {
      {u"S", std::nullopt, u"", u"f.ini", 4096},
      {std::nullopt, u"K", u"D", std::nullopt, 4096},
      {u"S", u"", std::nullopt, u"f.ini", 0},
      {std::nullopt, std::nullopt, u"", u"", 0},
  };
  EXPECT_EQ(api.calls, expected);
}

TEST(IniWrappers, RaiseOnlyWhenNothingCameBackWithAnErrorCode) {
  struct Case {
    bool write;
    platform::ProfileCall reply;
    int32_t raised;  // 0: no error
    const char16_t* result;
  } cases[] = {
      {false, {0, 0}, 0, u""},       {false, {0, 2}, 2, nullptr}, {false, {3, 2}, 0, u"abc"},
      {false, {0, 87}, 87, nullptr}, {false, {6, 0}, 0, u"abc\0d\0"},
      {true, {0, 0}, 0, nullptr},    {true, {0, 3}, 3, nullptr},  {true, {1, 183}, 0, nullptr},
  };
  platform::FakeMessageApi messages;
  messages.system_table = {{2, u"The system cannot find the file specified.\r\n"}, {3, u"The system cannot find the path specified.\r\n"}};
  for (const Case& c : cases) {
    Recorded api;
    api.reply = c.reply;
    api.fill = std::u16string(u"abc\0d\0\0xyz", 10);
    try {
      if (c.write) {
        WriteINIValue(u"S", u"K", u"V", u"f.ini", api, messages);
      } else {
        EXPECT_EQ(ReadINIValue(u"S", u"K", u"", u"f.ini", api, messages), std::u16string(c.result, c.reply.result));
      }
      EXPECT_EQ(c.raised, 0) << "no error for code " << c.reply.last_error;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.raised);
      EXPECT_EQ(e.description(), GetErrorText(c.raised, messages));
    }
  }
  Recorded api;
  api.reply = {0, 2};
  try {
    (void)ReadINIValue(u"S", u"K", u"", u"f.ini", api, messages);
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), u"The system cannot find the file specified.");
  }
  EXPECT_EQ(messages.open_buffers, 0);
}

}  // namespace
}  // namespace velko
