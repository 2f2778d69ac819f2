// What the computer-name helper needs of the system.
#pragma once

#include <cstdint>

namespace velko::platform {

class ComputerApi {
 public:
  virtual ~ComputerApi() = default;
  // GetComputerNameW(buffer, size): on entry *size is the buffer's length in
  // characters; on success the name and a NUL are in the buffer and *size is
  // the name's length. False on failure.
  [[nodiscard]] virtual bool QueryName(char16_t* buffer, uint32_t* size) = 0;
};

// The build's implementation: the real API on Windows, the stand-in natively.
ComputerApi& DefaultComputerApi();

}  // namespace velko::platform
