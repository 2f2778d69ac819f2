// The clipboard, for forms that offer their text as a message box does.
#pragma once

#include <windows.h>

#include <string_view>

namespace velko::forms {

// Puts `text` on the clipboard as Unicode text, with `owner` (a window of this
// thread) as the clipboard's owner. Tries for about 0.1 s while another program
// has the clipboard open, then gives up and leaves the clipboard as it is; a
// failure is not reported.
void SetClipboardText(HWND owner, std::u16string_view text) noexcept;

}  // namespace velko::forms
