#include "system/shared_module.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/seams.h"
#include "platform/win32/wide.h"

namespace velko {
namespace {
constexpr DWORD kNameBufferLength = 512;
}  // namespace

std::u16string GetLocalComputerName() {
  std::u16string buffer(kNameBufferLength, u'\0');
  DWORD size = kNameBufferLength;
  if (!seams::GetComputerNameW(AsWide(buffer.data()), &size)) return u"(unknown)";
  // The buffer, not the reported length, decides: the name ends at its NUL.
  return std::u16string(TrimAtNull(buffer));
}

void SetFileAttr(const std::u16string& path, uint32_t attributes) {
  // Callers have no use for a failure here; the helper reports none.
  (void)::SetFileAttributesW(AsWide(path), attributes);
}

}  // namespace velko
