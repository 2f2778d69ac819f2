// What a call raised, for tests: the number and description of the velko::Error
// it threw, or {0, ""} when it returned.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/error.h"

namespace velko::testing {

using Raised = std::pair<int32_t, std::u16string>;

template <typename Call>
Raised RaisedBy(Call&& call) {
  try {
    call();
  } catch (const Error& e) {
    return {e.number(), e.description()};
  }
  return {};
}

}  // namespace velko::testing
