#include "system/api_support.h"

#include "platform/text.h"

namespace velko {
namespace {

constexpr int32_t kNetworkFirst = 2100;  // NERR_BASE
constexpr int32_t kNetworkLast = 2999;   // MAX_NERR
constexpr uint32_t kUserDefaultLanguage = 0x400;  // LANG_NEUTRAL, SUBLANG_DEFAULT

// Owns what the lookup takes from the system, so an exception cannot leak it.
class Held {
 public:
  explicit Held(platform::MessageApi& api) : api_(api) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    FreeBuffer();
    FreeModule();
  }
  platform::ModuleHandle module = nullptr;
  char16_t* buffer = nullptr;

  void FreeModule() {
    if (module) api_.FreeLibrary(module);
    module = nullptr;
  }
  void FreeBuffer() {
    if (buffer) api_.LocalFree(buffer);
    buffer = nullptr;
  }

 private:
  platform::MessageApi& api_;
};

}  // namespace

std::u16string PtrToString(const char16_t* text) {
  if (!text) return {};
  return std::u16string(text);
}

std::u16string GetErrorText(int32_t error_code, platform::MessageApi& api) {
  Held held(api);
  if (error_code >= kNetworkFirst && error_code <= kNetworkLast) held.module = api.LoadLibraryAsDatafile(u"netmsg.dll");
  uint32_t flags = platform::kFormatAllocateBuffer | platform::kFormatIgnoreInserts | platform::kFormatFromSystem;
  if (held.module) flags |= platform::kFormatFromHModule;
  held.buffer = api.FormatMessageAlloc(flags, held.module, static_cast<uint32_t>(error_code), kUserDefaultLanguage);
  // The text is in the system's buffer by now; the table is not needed for it.
  held.FreeModule();
  if (!held.buffer) return {};
  std::u16string text(TrimAtNull(PtrToString(held.buffer)));
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) text.resize(text.size() - 2);
  text = ReplaceAll(text, u"\r\n", u" ");
  held.FreeBuffer();
  return text;
}

std::u16string AddLongPathPrefix(const std::u16string& path) {
  std::u16string result;
  if (path.find(u"\\\\?\\") != std::u16string::npos) {
    result = path;
  } else if (path.compare(0, 2, u"\\\\") == 0) {
    result = u"\\\\?\\UNC\\" + path.substr(2);
  } else {
    result = u"\\\\?\\" + path;
  }
  if (result.empty() || result.back() != u'\\') result.push_back(u'\\');
  return result;
}

}  // namespace velko
