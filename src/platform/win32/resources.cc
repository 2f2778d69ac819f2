#include "platform/resources.h"

#include <windows.h>

#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

class Win32ResourceApi final : public ResourceApi {
 public:
  uint32_t UserDefaultLcid() override { return ::GetUserDefaultLCID(); }
  bool FileExists(const std::u16string& path) override {
    const DWORD attributes = ::GetFileAttributesW(AsWide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  ModuleHandle LoadLibraryAsDatafile(const std::u16string& path) override {
    return ::LoadLibraryExW(AsWide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  int LoadStringFrom(ModuleHandle module, uint32_t id, char16_t* buffer, int count) override {
    return ::LoadStringW(static_cast<HMODULE>(module), id, AsWide(buffer), count);
  }
  std::u16string_view StringResource(ModuleHandle module, uint32_t id) override {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(static_cast<HMODULE>(module), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? FromWide(text, static_cast<size_t>(length)) : std::u16string_view();
  }
  void FreeLibrary(ModuleHandle module) override { ::FreeLibrary(static_cast<HMODULE>(module)); }
  std::u16string ComponentFolder() override {
    const std::u16string path = OwnModulePath();
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
  }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32ResourceApi g_api;

}  // namespace

ResourceApi& DefaultResourceApi() { return g_api; }

}  // namespace velko::platform
