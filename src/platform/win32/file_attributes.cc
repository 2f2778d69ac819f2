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

}  // namespace

FileAttributeApi& DefaultFileAttributeApi() {
  static Win32FileAttributeApi api;
  return api;
}

}  // namespace velko::platform
