#include <gtest/gtest.h>

#include "platform/portable/fake_computer.h"
#include "platform/portable/fake_file_attributes.h"
#include "platform/text.h"
#include "system/shared_module.h"

namespace velko {
namespace {

TEST(GetLocalComputerName, GivesTheNameUpToItsNulWithoutTrailingSpacesOrUnknown) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"HOST", u"HOST"},
      {u"HOST  ", u"HOST"},
      {u"  HOST", u"  HOST"},
      {std::u16string(u"AB\0CD", 5), u"AB"},  // the NUL decides, not the length reported
      {std::u16string(511, u'N'), std::u16string(511, u'N')},
      {std::u16string(512, u'N'), u"(unknown)"},  // no room for the NUL in 512
  };
  for (const auto& [name, expected] : cases) {
    platform::FakeComputerApi api;
    api.name = name;
    EXPECT_EQ(GetLocalComputerName(api), expected) << ToUtf8(name);
    EXPECT_EQ(api.passed_size, 512u);
  }
  platform::FakeComputerApi failing;
  failing.fails = true;
  EXPECT_EQ(GetLocalComputerName(failing), u"(unknown)");
}

TEST(SetFileAttr, PassesTheBitsUnchangedAndIgnoresFailures) {
  platform::FakeFileAttributeApi api;
  api.files = {{u"C:\\a.txt", 0x20}};
  SetFileAttr(u"C:\\a.txt", 0x80000003u, api);
  SetFileAttr(u"C:\\missing.txt", 0x1, api);  // silently nothing
  api.refuses = true;
  SetFileAttr(u"C:\\a.txt", 0x1, api);
  EXPECT_EQ(api.files, (std::map<std::u16string, uint32_t>{{u"C:\\a.txt", 0x80000003u}}));
  EXPECT_EQ(api.calls.size(), 3u);
  EXPECT_EQ(api.calls[1], (std::pair<std::u16string, uint32_t>{u"C:\\missing.txt", 0x1}));
}

}  // namespace
}  // namespace velko
