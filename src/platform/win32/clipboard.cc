#include "platform/win32/clipboard.h"

#include "platform/win32/unique_handle.h"

namespace velko::forms {
namespace {

// How often a copy tries to open the clipboard that another program has open
// for a moment (Wine's X11 bridge opens it to pass selections on), 10 ms apart.
constexpr int kClipboardAttempts = 10;

}  // namespace

void SetClipboardText(HWND owner, std::u16string_view text) noexcept {
  // The text and its NUL, in memory that the clipboard owns once it takes it.
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  UniqueHGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
  auto* data = static_cast<char16_t*>(memory ? ::GlobalLock(memory.get()) : nullptr);
  if (!data) return;
  data[text.copy(data, text.size())] = u'\0';
  ::GlobalUnlock(memory.get());
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    if (attempt) ::Sleep(10);
    // Opened by the owner, so that it is the clipboard's owner after EmptyClipboard.
    ScopedClipboard clipboard(owner);
    if (!clipboard.is_open()) continue;
    if (::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
    return;
  }
}

}  // namespace velko::forms
