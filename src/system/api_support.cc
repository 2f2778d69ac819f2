#include "system/api_support.h"

#include "platform/text.h"

namespace velko {
namespace {
constexpr int32_t kNetworkFirst = 2100;  // NERR_BASE
constexpr int32_t kNetworkLast = 2999;   // MAX_NERR
constexpr uint32_t kUserDefaultLanguage = 0x400;

// Frees what it holds when the lookup ends, on every path.
struct Held {
  platform::MessageApi& api;
  platform::ModuleHandle module = nullptr;
  char16_t* buffer = nullptr;
  ~Held() {
    if (buffer) api.LocalFree(buffer);
    if (module) api.FreeLibrary(module);
  }
};
}  // namespace

std::u16string PtrToString(const char16_t* text) {
  if (!text) return {};
  return std::u16string(text);
}

std::u16string GetErrorText(int32_t error_code, platform::MessageApi& api) {
  Held held{api};
  if (error_code >= kNetworkFirst && error_code <= kNetworkLast) held.module = api.LoadLibraryAsDatafile(u"netmsg.dll");
  uint32_t flags = platform::kFormatAllocateBuffer | platform::kFormatIgnoreInserts | platform::kFormatFromSystem;
  if (held.module) flags |= platform::kFormatFromHModule;
  held.buffer = api.FormatMessageAlloc(flags, held.module, static_cast<uint32_t>(error_code), kUserDefaultLanguage);
  if (!held.buffer) return {};
  std::u16string text(TrimAtNull(PtrToString(held.buffer)));
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) text.resize(text.size() - 2);
  return ReplaceAll(text, u"\r\n", u" ");
}

}  // namespace velko
