#include "component/com_error.h"

#include <oleauto.h>

#include <new>

#include "platform/win32/unique_handle.h"

namespace velko {

HRESULT ReportError(const Error& error, REFIID iid) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(::CreateErrorInfo(create.put()))) {
    create->SetGUID(iid);
    const std::u16string& text = error.description();
    UniqueBstr description(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                               static_cast<UINT>(text.size())));
    create->SetDescription(description.get());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.put_void()))) ::SetErrorInfo(0, info.get());
  }
  return AutomationHresult(error.number());
}

HRESULT CaughtHresult(REFIID iid) noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return ReportError(e, iid);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace velko
