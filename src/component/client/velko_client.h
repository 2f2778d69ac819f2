// VELKO client header for C++ hosts: the interface, CLSID and IID generated from
// the component's IDL (velko.h, with the GUID definitions in velko_i.c), and a
// small owner of BSTRs so strings cross the interface without leaks.
// VELKO_VERSION (velko_version.h) names the release these files come from.
//
//   #include "velko_client.h"
//   velko::client::ComInit com;
//   _CProductInfo* about = nullptr;
//   CoCreateInstance(CLSID_CProductInfo, nullptr, CLSCTX_INPROC_SERVER,
//                    IID__CProductInfo, reinterpret_cast<void**>(&about));
//   about->put_ProductName(velko::client::Bstr(L"Contoso Draw"));
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "velko.h"
#include "velko_version.h"

namespace velko::client {

// Owns one BSTR (null is the empty string, as automation treats it).
class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(const wchar_t* text) : value_(text ? ::SysAllocString(text) : nullptr) {}
  explicit Bstr(const std::wstring& text)
      : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  // What was held goes with `other` (self-assignment keeps it).
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(value_, other.value_);
    return *this;
  }
  ~Bstr() { ::SysFreeString(value_); }

  // For [in] BSTR arguments.
  operator BSTR() const noexcept { return value_; }
  // For [out, retval] BSTR* results: frees what is held first.
  BSTR* put() noexcept {
    ::SysFreeString(std::exchange(value_, nullptr));
    return &value_;
  }
  // The text, embedded NULs included.
  std::wstring str() const { return value_ ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring(); }
  UINT length() const noexcept { return ::SysStringLen(value_); }

 private:
  BSTR value_ = nullptr;
};

// CoInitializeEx for a single-threaded apartment, undone at scope end.
class ComInit {
 public:
  ComInit() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  HRESULT hr() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace velko::client
