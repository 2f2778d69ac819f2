// Inside the forms layer only: a shown form sees the keys pressed in its
// window before its controls do. The dialog manager's loop keeps keys from the
// dialog's procedure; they are seen in its message filter instead.
#pragma once

#include <windows.h>

namespace velko::forms::detail {

// Marks the window of a shown form and holds its Form, for KeyboardFilter.
inline constexpr wchar_t kFormProperty[] = L"VELKO.FormDialog";

// A WH_MSGFILTER hook procedure for the thread that shows a form: a key
// pressed in a window whose top-level window holds kFormProperty goes to that
// form's KeyDown, and what it takes goes no further.
LRESULT CALLBACK KeyboardFilter(int code, WPARAM wparam, LPARAM lparam);

}  // namespace velko::forms::detail
