#include "localization/lang_support.h"

#include <cstring>

#include "platform/text.h"

namespace velko {
namespace {
// The lookup buffer: bytes 0..2048, of which LoadStringW may use 1,024 characters.
constexpr size_t kBufferBytes = 2049;
constexpr int kBufferChars = (kBufferBytes - 1) / 2;
}  // namespace

LangSupport::~LangSupport() {
  if (hLangLib_) api_.FreeLibrary(hLangLib_);
}

void LangSupport::LoadLangLibrary(const std::u16string& base_name) noexcept {
  if (++LangLibRefCount_ > 1) return;
  try {
    const std::u16string prefix = api_.ComponentFolder() + u"\\" + base_name;
    const std::u16string lcid = FromUtf8(std::to_string(api_.UserDefaultLcid()));
    std::u16string path = prefix + lcid + u".DLL";
    if (!api_.FileExists(path)) path = prefix + u"1033.DLL";
    hLangLib_ = api_.LoadLibraryAsDatafile(path);
  } catch (...) {
    // Every failure here means "no library": texts come back empty.
  }
}

void LangSupport::FreeLangLibrary() noexcept {
  if (--LangLibRefCount_ <= 0 && hLangLib_) {
    api_.FreeLibrary(hLangLib_);
    hLangLib_ = nullptr;
  }
}

std::u16string LangSupport::GetLangString(int32_t id) const {
  if (!hLangLib_) return {};
  // The text is StripAtNull(BytesToString(buffer)). LoadStringW always ends what it
  // writes with a NUL inside the first 1,024 characters, so that equals the
  // characters before the first NUL, read here without building the 2,049-character
  // intermediate string on every lookup.
  alignas(char16_t) uint8_t buffer[kBufferBytes] = {};
  auto* text = reinterpret_cast<char16_t*>(buffer);
  api_.LoadStringFrom(hLangLib_, static_cast<uint32_t>(id), text, kBufferChars);
  return std::u16string(StripAtNull(std::u16string_view(text, kBufferChars)));
}

std::u16string BytesToString(std::span<const uint8_t> bytes) {
  const size_t n = bytes.size();
  if (n <= 1) return {};
  std::u16string s(n, u'\0');
  std::memcpy(s.data(), bytes.data(), n);
  return s;
}

}  // namespace velko
