// The one place that owns close functions. Every handle, key, library, local
// allocation and COM reference the component opens is held by one of these, so
// "closed on every path" is structural.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <utility>

#include "platform/win32/seams.h"

namespace velko {

// Owns one T and hands it to Close when it goes, unless it is the value that
// holds nothing (kInvalid, converted to T: 0 for most handles, -1 where the
// API's failure value is INVALID_HANDLE_VALUE).
template <typename T, auto Close, std::intptr_t kInvalid = 0>
class UniqueAny {
 public:
  static T Invalid() noexcept { return reinterpret_cast<T>(kInvalid); }

  UniqueAny() noexcept = default;
  explicit UniqueAny(T value) noexcept : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Invalid(); }
  // For out-parameters: closes what is held and hands out the slot.
  T* put() noexcept {
    reset();
    return &value_;
  }
  T release() noexcept { return std::exchange(value_, Invalid()); }
  void reset(T value = Invalid()) noexcept {
    T old = std::exchange(value_, value);
    if (old != Invalid()) Close(old);
  }

 private:
  T value_ = Invalid();
};

// Predefined root keys are not ours to close. They are sign-extended on x64
// (HKEY_CLASSES_ROOT is 0xFFFFFFFF80000000 there), so compare from it.
inline void CloseKey(HKEY key) noexcept {
  const ULONG_PTR offset = reinterpret_cast<ULONG_PTR>(key) - reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
  if (offset > 0xF) seams::RegCloseKey(key);
}

using UniqueHKey = UniqueAny<HKEY, CloseKey>;
using UniqueHModule = UniqueAny<HMODULE, ::FreeLibrary>;
using UniqueLocal = UniqueAny<HLOCAL, ::LocalFree>;
using UniqueHandle = UniqueAny<HANDLE, ::CloseHandle>;
using UniqueBstr = UniqueAny<BSTR, ::SysFreeString>;
using UniqueHFont = UniqueAny<HFONT, ::DeleteObject>;
using UniqueHCursor = UniqueAny<HCURSOR, ::DestroyCursor>;
using UniqueSafeArray = UniqueAny<SAFEARRAY*, ::SafeArrayDestroy>;
using UniqueActCtx = UniqueAny<HANDLE, ::ReleaseActCtx, -1>;  // CreateActCtxW fails with INVALID_HANDLE_VALUE
using UniqueHHook = UniqueAny<HHOOK, ::UnhookWindowsHookEx>;
using UniqueHGlobal = UniqueAny<HGLOBAL, ::GlobalFree>;

// An activation context made the thread's active one for the lifetime of this
// object; nullptr stands for the process's default context. INVALID_HANDLE_VALUE
// (or a failed activation) leaves the thread as it is.
class ScopedActCtxActivation {
 public:
  explicit ScopedActCtxActivation(HANDLE context) noexcept {
    if (context != INVALID_HANDLE_VALUE) active_ = ::ActivateActCtx(context, &cookie_) != FALSE;
  }
  ScopedActCtxActivation(const ScopedActCtxActivation&) = delete;
  ScopedActCtxActivation& operator=(const ScopedActCtxActivation&) = delete;
  ~ScopedActCtxActivation() {
    if (active_) ::DeactivateActCtx(0, cookie_);
  }
  bool active() const noexcept { return active_; }

 private:
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

// The clipboard, opened by `owner` for the lifetime of this object when it could
// be opened at all (another window may hold it).
class ScopedClipboard {
 public:
  explicit ScopedClipboard(HWND owner) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
  ScopedClipboard(const ScopedClipboard&) = delete;
  ScopedClipboard& operator=(const ScopedClipboard&) = delete;
  ~ScopedClipboard() {
    if (open_) ::CloseClipboard();
  }
  bool is_open() const noexcept { return open_; }

 private:
  bool open_;
};

// The device context of `window` (nullptr: the screen) for the lifetime of this
// object; get() is null when there is none.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  ~ScopedWindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A counted COM reference (IUnknown-derived T).
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { if (p_) p_->Release(); }

  // Adopts an already counted reference.
  static ComPtr Attach(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T** put() noexcept {
    *this = nullptr;
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  // Hands out a counted reference (for [out] parameters).
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  T* copy() const noexcept {
    if (p_) p_->AddRef();
    return p_;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace velko
