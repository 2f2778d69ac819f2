// What the error-text lookup needs of the system: message tables and
// FormatMessageW with a system-allocated buffer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/resources.h"

namespace velko::platform {

inline constexpr uint32_t kFormatAllocateBuffer = 0x100;
inline constexpr uint32_t kFormatIgnoreInserts = 0x200;
inline constexpr uint32_t kFormatFromHModule = 0x800;
inline constexpr uint32_t kFormatFromSystem = 0x1000;

class MessageApi {
 public:
  virtual ~MessageApi() = default;
  // LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE); nullptr on failure.
  virtual ModuleHandle LoadLibraryAsDatafile(const std::u16string& name) = 0;
  virtual void FreeLibrary(ModuleHandle module) = 0;
  // FormatMessageW(flags, source, code, language, &buffer, 0, nullptr) with
  // FORMAT_MESSAGE_ALLOCATE_BUFFER among the flags: the system's buffer, or
  // nullptr when no message was found. The caller frees it with LocalFree.
  virtual char16_t* FormatMessageAlloc(uint32_t flags, ModuleHandle source, uint32_t code, uint32_t language) = 0;
  virtual void LocalFree(char16_t* buffer) = 0;
};

// The build's implementation: the real API on Windows, the stand-in natively.
MessageApi& DefaultMessageApi();

}  // namespace velko::platform
