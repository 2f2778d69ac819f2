#include "platform/messages.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

class Win32MessageApi final : public MessageApi {
 public:
  ModuleHandle LoadLibraryAsDatafile(const std::u16string& name) override {
    return ::LoadLibraryExW(AsWide(name), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  void FreeLibrary(ModuleHandle module) override { ::FreeLibrary(static_cast<HMODULE>(module)); }
  char16_t* FormatMessageAlloc(uint32_t flags, ModuleHandle source, uint32_t code, uint32_t language) override {
    wchar_t* buffer = nullptr;
    ::FormatMessageW(flags, source, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    return reinterpret_cast<char16_t*>(buffer);
  }
  void LocalFree(char16_t* buffer) override { ::LocalFree(buffer); }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32MessageApi g_api;

}  // namespace

MessageApi& DefaultMessageApi() { return g_api; }

}  // namespace velko::platform
