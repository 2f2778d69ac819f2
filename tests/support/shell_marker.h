// For tests of shell calls: a copy of the marker program (shell_marker.exe,
// built beside the tests) under a name of the test's choosing, in a private
// folder. When the shell starts the copy, it leaves "<path>.ran" with its
// command line and working folder; Ran() waits for that file and reads it.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
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
    copied_ = ::CopyFileW((TestProgramFolder() + L"\\shell_marker.exe").c_str(), exe_.c_str(), FALSE);
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

  bool copied() const { return copied_; }
  const std::wstring& exe() const { return exe_; }
  std::u16string exe_u16() const { return std::u16string(exe_.begin(), exe_.end()); }
  std::string ansi_exe() const {
    char buffer[MAX_PATH * 2];
    const int n = ::WideCharToMultiByte(CP_ACP, 0, exe_.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer, n > 0 ? n - 1 : 0);
  }
  bool HasRun() const { return ::GetFileAttributesW((exe_ + L".ran").c_str()) != INVALID_FILE_ATTRIBUTES; }
  // Waits for the program to have run; false when it did not within the bound.
  bool Ran(std::string* command_line = nullptr, std::string* folder = nullptr) const {
    if (!forms::testing::WaitUntil([&] { return HasRun(); })) return false;
    std::ifstream in(std::filesystem::path(exe_ + L".ran"));
    std::string line;
    std::getline(in, line);
    if (command_line) *command_line = line;
    std::getline(in, line);
    if (folder) *folder = line;
    return true;
  }

 private:
  std::wstring folder_;
  std::wstring exe_;
  bool copied_ = false;
};

}  // namespace velko::testing
