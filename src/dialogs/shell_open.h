// ShellOpen: opens a document or address with the shell verb "open".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <windows.h>

namespace velko {

// Calls ShellExecuteA(hWnd, "open", File, Parameters, Directory, ShowCmd) with
// every text in the system's ANSI code page. An empty Parameters or Directory
// goes as a null pointer; File goes as given, even when empty. Returns what the
// shell returned (above 32 means success) without looking at it and shows nothing.
[[nodiscard]] int32_t ShellOpen(HWND hWnd, std::u16string_view File, std::u16string_view Parameters,
                                std::u16string_view Directory, int32_t ShowCmd);

// `text` in the system's ANSI code page (WideCharToMultiByte with CP_ACP);
// characters that the code page cannot hold come out as its default character.
std::string ToAnsi(std::u16string_view text);

}  // namespace velko
