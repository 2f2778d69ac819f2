// Inside the forms layer only: how the dialog, its link labels and its key
// filter run the form's code from the system's message dispatch.
#pragma once

#include <concepts>
#include <functional>
#include <type_traits>

#include "platform/error.h"

namespace velko::forms::detail {

// Runs an event handler of the form. Nothing may unwind through the system's
// message dispatch, so a handler's failure ends that handler only.
template <typename Handler>
  requires(!std::same_as<std::remove_cvref_t<Handler>, std::function<void()>>)
void Raise(Handler&& handler) noexcept {
  Boundary(handler, [] {});
}
// A control's handler, which the form's code may have left unset.
inline void Raise(const std::function<void()>& handler) noexcept {
  if (handler) Raise([&] { handler(); });
}

}  // namespace velko::forms::detail
