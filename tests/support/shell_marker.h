// For tests of shell calls: a copy of the marker program (shell_marker.exe,
// built beside the tests) under a name of the test's choosing, in a private
// folder. When the shell starts the copy, it leaves "<path>.ran" with its
// command line; Ran() waits for that file and reads it.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/dialog_driver.h"

namespace velko::testing {

inline std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L'\\'));
}

class MarkerCopy {
 public:
  explicit MarkerCopy(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"velko shell " + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    exe_ = folder_ + L"\\" + name;
    ::DeleteFileW((exe_ + L".ran").c_str());
    ::CopyFileW((TestProgramFolder() + L"\\shell_marker.exe").c_str(), exe_.c_str(), FALSE);
  }
  ~MarkerCopy() {
    // The started program may still be on its way out and hold its file.
    forms::testing::WaitUntil(
        [&] { return ::DeleteFileW(exe_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }, 5000);
    ::DeleteFileW((exe_ + L".ran").c_str());
    ::RemoveDirectoryW(folder_.c_str());  // only succeeds for the last copy
  }
  MarkerCopy(const MarkerCopy&) = delete;
  MarkerCopy& operator=(const MarkerCopy&) = delete;

  const std::wstring& exe() const { return exe_; }
  // Waits for the program to have run, and takes its file, so that the next
  // start can be seen; false when it did not run within the bound.
  bool Ran(std::wstring* command_line = nullptr) const {
    const std::wstring ran = exe_ + L".ran";
    if (!forms::testing::WaitUntil([&] { return ::GetFileAttributesW(ran.c_str()) != INVALID_FILE_ATTRIBUTES; }))
      return false;
    if (command_line) {
      std::ifstream in(std::filesystem::path(ran), std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(in), {});
      command_line->assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }
    return ::DeleteFileW(ran.c_str());
  }

 private:
  std::wstring folder_;
  std::wstring exe_;
};

}  // namespace velko::testing
