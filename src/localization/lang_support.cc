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
    if (hLangLib_) lang_lib_path_ = std::move(path);
  } catch (...) {
    // Every failure here means "no library": texts come back empty.
  }
}

void LangSupport::FreeLangLibrary() noexcept {
  if (--LangLibRefCount_ <= 0 && hLangLib_) {
    api_.FreeLibrary(hLangLib_);
    hLangLib_ = nullptr;
    lang_lib_path_.clear();
  }
}

std::u16string LangSupport::GetLangString(int32_t id) const {
  if (!hLangLib_) return {};
  // The text is StripAtNull(BytesToString(buffer)) after LoadStringW(hLangLib, id,
  // buffer, 1024) into a zeroed 2,049-byte buffer: the first 1,023 characters of
  // the resource, cut at its first NUL. The same characters are read here straight
  // from the library's string table, without the copy into the buffer.
  std::u16string_view text = api_.StringResource(hLangLib_, static_cast<uint32_t>(id));
  return std::u16string(StripAtNull(text.substr(0, kBufferChars - 1)));
}

std::u16string BytesToString(std::span<const uint8_t> bytes) {
  const size_t n = bytes.size();
  if (n <= 1) return {};
  std::u16string s(n, u'\0');
  std::memcpy(s.data(), bytes.data(), n);
  return s;
}

}  // namespace velko
