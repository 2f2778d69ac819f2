// What the file-attribute helper needs of the system.
#pragma once

#include <cstdint>
#include <string>

namespace velko::platform {

class FileAttributeApi {
 public:
  virtual ~FileAttributeApi() = default;
  // SetFileAttributesW(path, attributes) with the FILE_ATTRIBUTE_ bits as given;
  // false when the system refuses.
  [[nodiscard]] virtual bool SetAttributes(const std::u16string& path, uint32_t attributes) = 0;
};

// The build's implementation: the real API on Windows, the stand-in natively.
FileAttributeApi& DefaultFileAttributeApi();

}  // namespace velko::platform
