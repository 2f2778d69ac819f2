#include "platform/portable/fake_messages.h"

#include <algorithm>
#include <cctype>

namespace velko::platform {

ModuleHandle FakeMessageApi::LoadLibraryAsDatafile(const std::u16string& name) {
  loaded_names.push_back(name);
  std::u16string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char16_t c) { return c < 128 ? static_cast<char16_t>(std::tolower(c)) : c; });
  if (!network_library_present || lower != u"netmsg.dll") return nullptr;
  ++open_modules;
  return &network_table;
}

void FakeMessageApi::FreeLibrary(ModuleHandle) { --open_modules; }

char16_t* FakeMessageApi::FormatMessageAlloc(uint32_t flags, ModuleHandle source, uint32_t code, uint32_t language) {
  format_flags.push_back(flags);
  format_languages.push_back(language);
  const std::u16string* text = nullptr;
  // FROM_HMODULE is searched first, then FROM_SYSTEM, as Windows does.
  if ((flags & kFormatFromHModule) && source) {
    const auto& table = *static_cast<std::map<uint32_t, std::u16string>*>(source);
    if (auto it = table.find(code); it != table.end()) text = &it->second;
  }
  if (!text && (flags & kFormatFromSystem)) {
    if (auto it = system_table.find(code); it != system_table.end()) text = &it->second;
  }
  if (!text) return nullptr;
  auto* buffer = new char16_t[text->size() + 1];
  std::copy(text->begin(), text->end(), buffer);
  buffer[text->size()] = u'\0';
  ++open_buffers;
  return buffer;
}

void FakeMessageApi::LocalFree(char16_t* buffer) {
  delete[] buffer;
  --open_buffers;
}

MessageApi& DefaultMessageApi() {
  // Texts for the codes that the component's own failures carry, so that an
  // error raised natively has a description as it would on Windows.
  static FakeMessageApi api = [] {
    FakeMessageApi a;
    a.system_table = {{2, u"The system cannot find the file specified.\r\n"},
                      {3, u"The system cannot find the path specified.\r\n"},
                      {5, u"Access is denied.\r\n"},
                      {87, u"The parameter is incorrect.\r\n"}};
    return a;
  }();
  return api;
}

}  // namespace velko::platform
