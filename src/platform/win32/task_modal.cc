// Task modality as a message box with MB_TASKMODAL has it. The host's code runs
// in the dialog's modal loop (its timers, incoming calls) and may destroy a window
// or open a modal box of its own meanwhile, which Restore must not undo.
#include "platform/win32/task_modal.h"

#include <algorithm>

#include "platform/error.h"

namespace velko::forms::detail {
namespace {

BOOL CALLBACK Take(HWND window, LPARAM list) {
  return Boundary(
      [&] {
        if (::IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      [] { return FALSE; });
}

struct OwnedSearch {
  HWND owner;
  const std::vector<HWND>& disabled;
  bool found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM search) {
  auto& s = *reinterpret_cast<OwnedSearch*>(search);
  s.found = ::GetWindow(window, GW_OWNER) == s.owner && ::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
            std::find(s.disabled.begin(), s.disabled.end(), window) == s.disabled.end();
  return !s.found;
}

}  // namespace

TaskModalWindows::TaskModalWindows() {
  ::EnumThreadWindows(::GetCurrentThreadId(), &Take, reinterpret_cast<LPARAM>(&disabled_));
  restored_.assign(disabled_.size(), false);  // first: a failure leaves every window as it was
  for (HWND window : disabled_) ::EnableWindow(window, FALSE);
}

// A modal box that the host opened while the dialog was shown has its owner
// disabled by its own loop, which ends first: that owner must take no input
// until then, and is enabled when the dialog's loop has ended. What the dialog
// disabled itself (an owned palette or Find window) holds nothing back,
// whichever order the windows come in.
void TaskModalWindows::Restore(bool in_loop) noexcept {
  for (size_t i = 0; i < disabled_.size(); ++i) {
    if (restored_[i] || (in_loop && OwnsShownWindow(disabled_[i]))) continue;
    if (::IsWindow(disabled_[i])) ::EnableWindow(disabled_[i], TRUE);
    restored_[i] = true;
  }
}

bool TaskModalWindows::OwnsShownWindow(HWND owner) const {
  OwnedSearch search{owner, disabled_, false};
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwned, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A service, a web server or a scheduled task has no desktop that anybody sees
// (a window station that is not visible, or session 0, which no user's session
// is since Windows Vista), nor does a thread on a desktop of its own that is not
// the one taking input: the dialog would wait for ever for a click that cannot
// come. The default desktop counts while a lock or a consent prompt covers it:
// its user comes back to it. (Wine has no UOI_IO: there, only the default
// desktop counts.)
bool SomebodySees() {
  USEROBJECTFLAGS station{};
  if (::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &station, sizeof station, nullptr) &&
      !(station.dwFlags & WSF_VISIBLE))
    return false;
  DWORD session = 0;
  if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0) return false;
  const HDESK desktop = ::GetThreadDesktop(::GetCurrentThreadId());
  BOOL input = FALSE;
  if (::GetUserObjectInformationW(desktop, UOI_IO, &input, sizeof input, nullptr) && input) return true;
  wchar_t name[16] = {};  // longer names are not "Default"
  return ::GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, nullptr) &&
         ::CompareStringOrdinal(name, -1, L"Default", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace velko::forms::detail
