// Inside the forms layer only: how the dialog, its link labels and its key
// filter run the form's code from the system's message dispatch.
#pragma once

#include <functional>

#include "platform/error.h"

namespace velko::forms::detail {

// Runs an event handler of the form. Nothing may unwind through the system's
// message dispatch, so a handler's failure ends that handler only.
template <typename Handler>
void Raise(Handler&& handler) noexcept {
  Boundary(handler, [] {});
}
inline void Raise(const std::function<void()>& handler) noexcept {
  if (handler) Raise([&] { handler(); });
}

}  // namespace velko::forms::detail
