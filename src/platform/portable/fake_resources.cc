#include "platform/portable/fake_resources.h"

#include <algorithm>

namespace velko::platform {

bool FakeResourceApi::FileExists(const std::u16string& path) {
  return file_test_works && files.count(path) != 0;
}

ModuleHandle FakeResourceApi::LoadLibraryAsDatafile(const std::u16string& path) {
  last_loaded = path;
  auto it = files.find(path);
  if (it == files.end()) return nullptr;
  ++open_modules;
  return &it->second;
}

int FakeResourceApi::LoadStringFrom(ModuleHandle module, uint32_t id, char16_t* buffer, int count) {
  const auto& table = *static_cast<StringTable*>(module);
  auto it = table.find(id);
  if (it == table.end() || count <= 0) return 0;  // like Windows: nothing written
  const int n = std::min<int>(static_cast<int>(it->second.size()), count - 1);
  std::copy_n(it->second.data(), n, buffer);
  buffer[n] = u'\0';
  return n;
}

std::u16string_view FakeResourceApi::StringResource(ModuleHandle module, uint32_t id) {
  const auto& table = *static_cast<StringTable*>(module);
  auto it = table.find(id);
  return it == table.end() ? std::u16string_view() : std::u16string_view(it->second);
}

void FakeResourceApi::FreeLibrary(ModuleHandle) { --open_modules; }

ResourceApi& DefaultResourceApi() {
  static FakeResourceApi api;
  return api;
}

}  // namespace velko::platform
