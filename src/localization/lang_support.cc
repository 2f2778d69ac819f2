#include "localization/lang_support.h"

#include "platform/text.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace velko {
namespace {

// The lookup buffer: bytes 0..2048, of which LoadStringW may use 1,024 characters.
constexpr size_t kBufferBytes = 2049;
constexpr int kBufferChars = (kBufferBytes - 1) / 2;

bool IsFile(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(AsWide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void LangSupport::LoadLangLibrary(const std::u16string& base_name) noexcept {
  if (++LangLibRefCount_ > 1) return;
  try {
    const std::u16string own = platform::OwnModulePath();
    const std::u16string prefix = own.substr(0, own.find_last_of(u"\\/") + 1) + base_name;
    const LCID user = ::GetUserDefaultLCID();
    std::u16string path = prefix + FromUtf8(std::to_string(user)) + u".DLL";
    // A folder that happens to carry the library's name is not a library.
    const bool users_own = IsFile(path);
    if (!users_own) path = prefix + u"1033.DLL";
    hLangLib_.reset(::LoadLibraryExW(AsWide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!hLangLib_) return;
    lang_lib_path_ = std::move(path);
    const WORD language = PRIMARYLANGID(LANGIDFROMLCID(user));
    right_to_left_ = users_own && (language == LANG_ARABIC || language == LANG_HEBREW);
  } catch (...) {
    // Every failure here means "no library": texts come back empty.
  }
}

void LangSupport::FreeLangLibrary() noexcept {
  if (--LangLibRefCount_ <= 0 && hLangLib_) {
    hLangLib_.reset();
    lang_lib_path_.clear();
    right_to_left_ = false;
  }
}

std::u16string LangSupport::GetLangString(int32_t id) const {
  if (!hLangLib_) return {};
  // The text is what LoadStringW(hLangLib, id, buffer, 1024) leaves in a zeroed
  // 2,049-byte buffer, read as characters up to the first NUL: the first 1,023
  // characters of the resource, cut at its first NUL. The same characters are read here straight
  // from the library's string table (a count of 0 hands out a pointer to it),
  // without the copy into the buffer.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(hLangLib_.get(), static_cast<UINT>(id), reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || !text) return {};
  const std::u16string_view resource = FromWide(text, static_cast<size_t>(length));
  return std::u16string(StripAtNull(resource.substr(0, kBufferChars - 1)));
}

}  // namespace velko
