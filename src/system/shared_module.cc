#include "system/shared_module.h"

#include "platform/text.h"

namespace velko {
namespace {
constexpr uint32_t kNameBufferLength = 512;
}  // namespace

std::u16string GetLocalComputerName(platform::ComputerApi& api) {
  std::u16string buffer(kNameBufferLength, u'\0');
  uint32_t size = kNameBufferLength;
  if (!api.QueryName(buffer.data(), &size)) return u"(unknown)";
  // The buffer, not the reported length, decides: the name ends at its NUL.
  return std::u16string(TrimAtNull(buffer));
}

void SetFileAttr(const std::u16string& path, uint32_t attributes, platform::FileAttributeApi& api) {
  // Callers have no use for a failure here; the helper reports none.
  (void)api.SetAttributes(path, attributes);
}

}  // namespace velko
