#include "platform/portable/fake_computer.h"

#include <algorithm>

namespace velko::platform {

bool FakeComputerApi::QueryName(char16_t* buffer, uint32_t* size) {
  ++calls;
  passed_size = *size;
  // Like the system: a buffer too small for the name and its NUL is a failure.
  if (fails || name.size() + 1 > *size) return false;
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = u'\0';
  *size = static_cast<uint32_t>(name.size());
  return true;
}

ComputerApi& DefaultComputerApi() {
  static FakeComputerApi api;
  return api;
}

}  // namespace velko::platform
