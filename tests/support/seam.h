// Swaps one of the product's seam pointers (platform/win32/seams.h) for the
// length of a scope and puts the previous one back, whatever way the scope ends.
#pragma once

#include <utility>

namespace velko::testing {

template <typename Function>
struct SeamSwap {
  SeamSwap(Function& seam, Function replacement) : seam_(seam), saved_(std::exchange(seam, replacement)) {}
  SeamSwap(const SeamSwap&) = delete;  // (assignment is deleted by the reference)
  ~SeamSwap() { seam_ = saved_; }
  Function& seam_;
  const Function saved_;
};

}  // namespace velko::testing
