// In-memory stand-in for the resource API: "files" are string tables at paths.
#pragma once

#include <map>
#include <string>

#include "platform/resources.h"

namespace velko::platform {

class FakeResourceApi final : public ResourceApi {
 public:
  using StringTable = std::map<uint32_t, std::u16string>;

  uint32_t lcid = 1033;
  std::u16string folder = u"C:\\Program Files\\Product";
  bool file_test_works = true;
  std::map<std::u16string, StringTable> files;  // by full path
  int open_modules = 0;                          // loads not yet freed
  std::u16string last_loaded;                     // path of the last load attempt

  uint32_t UserDefaultLcid() override { return lcid; }
  bool FileExists(const std::u16string& path) override;
  ModuleHandle LoadLibraryAsDatafile(const std::u16string& path) override;
  int LoadStringFrom(ModuleHandle module, uint32_t id, char16_t* buffer, int count) override;
  std::u16string_view StringResource(ModuleHandle module, uint32_t id) override;
  void FreeLibrary(ModuleHandle module) override;
  std::u16string ComponentFolder() override { return folder; }
};

}  // namespace velko::platform
