#include <gtest/gtest.h>

#include "platform/portable/fake_computer.h"
#include "platform/portable/fake_file_attributes.h"
#include "platform/text.h"
#include "system/shared_module.h"

namespace velko {
namespace {

TEST(GetLocalComputerName, GivesTheNameUpToItsNulWithoutTrailingSpaces) {
  struct Case {
    std::u16string name;
    std::u16string expected;
  } cases[] = {
      {u"HOST", u"HOST"},
      {u"HOST  ", u"HOST"},
      {u"  HOST", u"  HOST"},
      {std::u16string(u"AB\0CD", 5), u"AB"},  // the NUL decides, not the length reported
      {std::u16string(511, u'N'), std::u16string(511, u'N')},
  };
  for (const Case& c : cases) {
    platform::FakeComputerApi api;
    api.name = c.name;
    EXPECT_EQ(GetLocalComputerName(api), c.expected) << ToUtf8(c.name);
    EXPECT_EQ(api.passed_size, 512u);
  }
}

TEST(GetLocalComputerName, SaysUnknownWhenTheSystemFails) {
  platform::FakeComputerApi api;
  api.fails = true;
  EXPECT_EQ(GetLocalComputerName(api), u"(unknown)");
  api.fails = false;
  api.name = std::u16string(512, u'N');  // no room for the NUL in 512
  EXPECT_EQ(GetLocalComputerName(api), u"(unknown)");
  EXPECT_EQ(api.calls, 2);
}

TEST(SetFileAttr, PassesTheBitsUnchangedAndIgnoresFailures) {
  platform::FakeFileAttributeApi api;
  api.files = {{u"C:\\a.txt", 0x20}};
  SetFileAttr(u"C:\\a.txt", 0x80000003u, api);
  EXPECT_EQ(api.files[u"C:\\a.txt"], 0x80000003u);
  SetFileAttr(u"C:\\missing.txt", 0x1, api);  // silently nothing
  api.refuses = true;
  SetFileAttr(u"C:\\a.txt", 0x1, api);
  EXPECT_EQ(api.files[u"C:\\a.txt"], 0x80000003u);
  EXPECT_EQ(api.files.size(), 1u);
  ASSERT_EQ(api.calls.size(), 3u);
  EXPECT_EQ(api.calls[1], (std::pair<std::u16string, uint32_t>{u"C:\\missing.txt", 0x1}));
}

}  // namespace
}  // namespace velko
