// CProductInfo: the component's one creatable class (VELKO.CProductInfo).
//
// Its properties read and write the thread's ProductInfo record, shared by every
// object of the thread; its link list is its own. Creating an object takes a
// reference to the thread's language library and resets ProductInfo; releasing
// the last reference gives the library reference back. IDispatch is served from
// the type library, so late- and early-bound hosts see the same members.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "component/thread_state.h"
#include "component/velko_h.h"
#include "component/module.h"

namespace velko {

class CProductInfo final : public _CProductInfo, public ISupportErrorInfo {
 public:
  // A new object with one reference, created on the calling thread.
  static HRESULT Create(REFIID iid, void** out) noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
  STDMETHODIMP_(ULONG) AddRef() noexcept override;
  STDMETHODIMP_(ULONG) Release() noexcept override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* arg_err) noexcept override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

  // _CProductInfo, in slot order.
  STDMETHODIMP get_ProductName(BSTR* value) noexcept override;
  STDMETHODIMP put_ProductName(BSTR szNewValue) noexcept override;
  STDMETHODIMP get_ProductVersion(BSTR* value) noexcept override;
  STDMETHODIMP put_ProductVersion(BSTR szNewValue) noexcept override;
  STDMETHODIMP get_Copyright(BSTR* value) noexcept override;
  STDMETHODIMP put_Copyright(BSTR szNewValue) noexcept override;
  STDMETHODIMP get_WebsiteHREF(BSTR* value) noexcept override;
  STDMETHODIMP put_WebsiteHREF(BSTR szNewValue) noexcept override;
  STDMETHODIMP get_ProductIcon(IPictureDisp** value) noexcept override;
  STDMETHODIMP putref_ProductIcon(IPictureDisp* imgNewValue) noexcept override;
  STDMETHODIMP get_ProductCompanyName(BSTR* value) noexcept override;
  STDMETHODIMP put_ProductCompanyName(BSTR szNewValue) noexcept override;
  STDMETHODIMP get_ProductCompanyAddress(BSTR* value) noexcept override;
  STDMETHODIMP put_ProductCompanyAddress(BSTR szNewValue) noexcept override;
  STDMETHODIMP AddURL(BSTR HREF, BSTR DisplayText) noexcept override;
  STDMETHODIMP ClearURLS() noexcept override;
  STDMETHODIMP get_EULAPath(BSTR* value) noexcept override;
  STDMETHODIMP put_EULAPath(BSTR Value) noexcept override;
  STDMETHODIMP ShowAboutBox(VARIANT_BOOL* result) noexcept override;

 private:
  explicit CProductInfo(ThreadState& state);
  ~CProductInfo();

  // Its code is in the DLL, which must stay while it lives.
  const module::Use module_use_;
  LONG refs_ = 1;
  ThreadState& state_;
  // Entries are HREF + "|" + DisplayText; absent until the first AddURL or ClearURLS.
  std::optional<std::vector<std::u16string>> links_;
};

}  // namespace velko
