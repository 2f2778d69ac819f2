// Inside the forms layer only: what makes a shown form task-modal, as a
// task-modal message box is, and whether anybody can answer it at all.
#pragma once

#include <windows.h>

#include <vector>

namespace velko::forms::detail {

// While it lives, the calling thread's top-level windows that were enabled
// when it was made are disabled; those that still exist are enabled again by
// Restore, at the latest when it goes.
class TaskModalWindows {
 public:
  TaskModalWindows();
  TaskModalWindows(const TaskModalWindows&) = delete;
  TaskModalWindows& operator=(const TaskModalWindows&) = delete;
  ~TaskModalWindows() { Restore(false); }

  // Enables the windows again, each once. While the dialog's modal loop runs
  // (`in_loop`), a window that owns a shown, enabled window that this did not
  // disable stays disabled, for a later Restore: a modal box that the host
  // opened meanwhile, whose loop runs inside the dialog's and ends first.
  void Restore(bool in_loop) noexcept;

 private:
  bool OwnsShownWindow(HWND owner) const;

  // What the dialog disabled, in the system's order, and which of them are enabled again.
  std::vector<HWND> disabled_;
  std::vector<bool> restored_;
};

// Whether a user can see a window of this thread and answer it: false for a
// window station that is not visible, for session 0, and for a desktop that is
// neither taking input nor the default one.
bool SomebodySees();

}  // namespace velko::forms::detail
