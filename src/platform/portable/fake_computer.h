// Stand-in for the computer name: a name to give, or a failure, and what the
// caller passed.
#pragma once

#include <string>

#include "platform/computer.h"

namespace velko::platform {

class FakeComputerApi final : public ComputerApi {
 public:
  std::u16string name = u"VELKO-HOST";
  bool fails = false;

  // Observations.
  int calls = 0;
  uint32_t passed_size = 0;

  bool QueryName(char16_t* buffer, uint32_t* size) override;
};

}  // namespace velko::platform
