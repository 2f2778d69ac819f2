#include "platform/file_attributes.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

class Win32FileAttributeApi final : public FileAttributeApi {
 public:
  bool SetAttributes(const std::u16string& path, uint32_t attributes) override {
    return ::SetFileAttributesW(AsWide(path), attributes) != FALSE;
  }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32FileAttributeApi g_api;

}  // namespace

FileAttributeApi& DefaultFileAttributeApi() { return g_api; }

}  // namespace velko::platform
