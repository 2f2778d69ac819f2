// Swaps one of the product's seam pointers (platform/win32/seams.h) for the
// length of a scope and puts the previous one back, whatever way the scope ends.
#pragma once

namespace velko::testing {

template <typename Function>
class SeamSwap {
 public:
  SeamSwap(Function& seam, Function replacement) : seam_(seam), saved_(seam) { seam = replacement; }
  SeamSwap(const SeamSwap&) = delete;
  SeamSwap& operator=(const SeamSwap&) = delete;
  ~SeamSwap() { seam_ = saved_; }

 private:
  Function& seam_;
  Function saved_;
};

}  // namespace velko::testing
