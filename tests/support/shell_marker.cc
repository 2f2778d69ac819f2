// A program for tests of the shell calls: whatever name it is copied to, when
// the shell starts it, it leaves "<its own path>.ran" beside itself, holding its
// command line (UTF-16), and exits.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH * 2];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return 1;
  const std::wstring text = ::GetCommandLineW();
  // Written under a temporary name and renamed, so a reader never sees half a file.
  const std::wstring done = std::wstring(self, n) + L".ran";
  const std::wstring part = done + L".part";
  HANDLE file = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  ::CloseHandle(file);
  if (!ok || !::MoveFileExW(part.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING)) return 3;
  return 0;
}
