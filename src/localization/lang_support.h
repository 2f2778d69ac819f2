// LangSupport: the thread's language resource library.
//
// The library is a resource-only DLL beside the component named
// BaseName + decimal(user LCID) + ".DLL", with BaseName + "1033.DLL" (English) as
// the fallback. It is loaded as a data file by the first LoadLangLibrary and
// unloaded when every load has been matched by FreeLangLibrary. One LangSupport
// lives in each apartment thread's state; nothing here is shared or locked.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/unique_handle.h"

namespace velko {

class LangSupport {
 public:
  LangSupport() = default;
  LangSupport(const LangSupport&) = delete;
  LangSupport& operator=(const LangSupport&) = delete;

  // Takes one reference; the first one picks and loads the library. Never fails:
  // when neither file loads, no library is held and every text is empty.
  void LoadLangLibrary(const std::u16string& base_name) noexcept;
  // Gives one reference back; the last one unloads the library.
  void FreeLangLibrary() noexcept;
  // Text `id` of the loaded library, at most 1,023 characters; "" when there is
  // no library or no such text.
  std::u16string GetLangString(int32_t id) const;

  HMODULE hLangLib() const { return hLangLib_.get(); }
  int32_t LangLibRefCount() const { return LangLibRefCount_; }
  // The path that the held library was loaded from; empty while none is held.
  const std::u16string& LangLibPath() const { return lang_lib_path_; }
  // Whether the held library is the user's own in a language written right to
  // left (Arabic, Hebrew), whose dialogs are mirrored.
  bool RightToLeft() const { return right_to_left_; }

 private:
  UniqueHModule hLangLib_;
  std::u16string lang_lib_path_;
  int32_t LangLibRefCount_ = 0;
  bool right_to_left_ = false;
};

}  // namespace velko
