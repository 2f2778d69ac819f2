// What the localization layer needs of the system: the user locale, a file
// existence test, resource-only libraries and their string tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velko::platform {

// An opaque module handle (HMODULE on Windows); nullptr when none.
using ModuleHandle = void*;

class ResourceApi {
 public:
  virtual ~ResourceApi() = default;
  // GetUserDefaultLCID.
  virtual uint32_t UserDefaultLcid() = 0;
  // True when a file (not a folder) exists at `path`; false when it cannot be told.
  virtual bool FileExists(const std::u16string& path) = 0;
  // LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE); nullptr on failure.
  virtual ModuleHandle LoadLibraryAsDatafile(const std::u16string& path) = 0;
  // LoadStringW(module, id, buffer, count): writes at most count - 1 characters
  // and a NUL; returns the number of characters copied.
  virtual int LoadStringFrom(ModuleHandle module, uint32_t id, char16_t* buffer, int count) = 0;
  // The text of string `id` where the library holds it (LoadStringW with a count
  // of 0), valid while the library stays loaded; empty when there is none.
  virtual std::u16string_view StringResource(ModuleHandle module, uint32_t id) = 0;
  virtual void FreeLibrary(ModuleHandle module) = 0;
  // The folder of the component's own file, without a trailing separator.
  virtual std::u16string ComponentFolder() = 0;
};

// The build's implementation: the real API on Windows, the stand-in natively.
ResourceApi& DefaultResourceApi();

// Hands every call on to another implementation; a test derives from it to pin
// one answer (the locale, the folder) and keeps the real behaviour of the rest.
class ForwardingResourceApi : public ResourceApi {
 public:
  explicit ForwardingResourceApi(ResourceApi& inner = DefaultResourceApi()) : inner_(inner) {}
  uint32_t UserDefaultLcid() override { return inner_.UserDefaultLcid(); }
  bool FileExists(const std::u16string& path) override { return inner_.FileExists(path); }
  ModuleHandle LoadLibraryAsDatafile(const std::u16string& path) override { return inner_.LoadLibraryAsDatafile(path); }
  int LoadStringFrom(ModuleHandle module, uint32_t id, char16_t* buffer, int count) override {
    return inner_.LoadStringFrom(module, id, buffer, count);
  }
  std::u16string_view StringResource(ModuleHandle module, uint32_t id) override {
    return inner_.StringResource(module, id);
  }
  void FreeLibrary(ModuleHandle module) override { inner_.FreeLibrary(module); }
  std::u16string ComponentFolder() override { return inner_.ComponentFolder(); }

 protected:
  ResourceApi& inner_;
};

}  // namespace velko::platform
