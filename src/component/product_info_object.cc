#include "component/product_info_object.h"

#include <oleauto.h>

#include <new>

#include "component/com_error.h"
#include "component/dispatch.h"
#include "component/module.h"
#include "dialogs/about_box.h"

namespace velko {
namespace {

std::u16string FromBstr(BSTR s) {
  // A null BSTR is the empty string; the length, not a NUL, ends the text.
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s), ::SysStringLen(s)) : std::u16string();
}

HRESULT ToBstr(const std::u16string& text, BSTR* out) noexcept {
  if (!out) return E_POINTER;
  *out = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Store(std::u16string& field, BSTR value) noexcept {
  return Guarded(IID__CProductInfo, [&] { field = FromBstr(value); });
}

}  // namespace

HRESULT CProductInfo::Create(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  return Guarded(iid, [&] {
    CProductInfo* object = new CProductInfo(CurrentThreadState());
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  });
}

CProductInfo::CProductInfo(ThreadState& state) : state_(state) {
  // The library's name is built (and may fail to be) before the object takes
  // its holds on the state: a constructor that throws runs no destructor, so a
  // hold taken first would never be given back and the state would outlive its
  // thread. Nothing below the holds throws.
  const std::u16string lang_base_name = u"VELKORes";
  state_.lang.LoadLangLibrary(lang_base_name);
  ++state_.owners;
  ++state_.objects;
  ProductInfo& info = state_.product_info;
  info.ProductName.clear();
  info.ProductVersion.clear();
  info.Copyright.clear();
  info.WebsiteHREF.clear();
  info.ProductCompanyName.clear();
  info.ProductCompanyAddress.clear();
  info.EULAPath.clear();
  state_.product_icon = nullptr;
}

CProductInfo::~CProductInfo() {
  state_.lang.FreeLangLibrary();
  // Not at the thread's end: DllMain must make no COM call. Nor after it: the
  // apartment the icon belongs to is gone.
  if (--state_.objects == 0 && !state_.thread_ended) state_.product_icon = nullptr;
  ReleaseThreadState(state_);
}

STDMETHODIMP CProductInfo::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__CProductInfo) {
    *out = static_cast<_CProductInfo*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CProductInfo::AddRef() noexcept { return ++refs_; }

STDMETHODIMP_(ULONG) CProductInfo::Release() noexcept {
  const ULONG refs = --refs_;
  if (refs == 0) delete this;
  return refs;
}

STDMETHODIMP CProductInfo::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CProductInfo::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
  return dispatch::GetTypeInfo(index, info);
}

STDMETHODIMP CProductInfo::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  return dispatch::GetIDsOfNames(iid, names, count, ids);
}

STDMETHODIMP CProductInfo::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* excep, UINT* arg_err) noexcept {
  return dispatch::Invoke(this, id, iid, flags, params, result, excep, arg_err);
}

STDMETHODIMP CProductInfo::InterfaceSupportsErrorInfo(REFIID iid) noexcept {
  return iid == IID__CProductInfo ? S_OK : S_FALSE;
}

STDMETHODIMP CProductInfo::get_ProductName(BSTR* value) noexcept { return ToBstr(state_.product_info.ProductName, value); }
STDMETHODIMP CProductInfo::put_ProductName(BSTR v) noexcept { return Store(state_.product_info.ProductName, v); }
STDMETHODIMP CProductInfo::get_ProductVersion(BSTR* value) noexcept { return ToBstr(state_.product_info.ProductVersion, value); }
STDMETHODIMP CProductInfo::put_ProductVersion(BSTR v) noexcept { return Store(state_.product_info.ProductVersion, v); }
STDMETHODIMP CProductInfo::get_Copyright(BSTR* value) noexcept { return ToBstr(state_.product_info.Copyright, value); }
STDMETHODIMP CProductInfo::put_Copyright(BSTR v) noexcept { return Store(state_.product_info.Copyright, v); }
STDMETHODIMP CProductInfo::get_WebsiteHREF(BSTR* value) noexcept { return ToBstr(state_.product_info.WebsiteHREF, value); }
STDMETHODIMP CProductInfo::put_WebsiteHREF(BSTR v) noexcept { return Store(state_.product_info.WebsiteHREF, v); }
STDMETHODIMP CProductInfo::get_ProductCompanyName(BSTR* value) noexcept {
  return ToBstr(state_.product_info.ProductCompanyName, value);
}
STDMETHODIMP CProductInfo::put_ProductCompanyName(BSTR v) noexcept { return Store(state_.product_info.ProductCompanyName, v); }
STDMETHODIMP CProductInfo::get_ProductCompanyAddress(BSTR* value) noexcept {
  return ToBstr(state_.product_info.ProductCompanyAddress, value);
}
STDMETHODIMP CProductInfo::put_ProductCompanyAddress(BSTR v) noexcept {
  return Store(state_.product_info.ProductCompanyAddress, v);
}
STDMETHODIMP CProductInfo::get_EULAPath(BSTR* value) noexcept { return ToBstr(state_.product_info.EULAPath, value); }
STDMETHODIMP CProductInfo::put_EULAPath(BSTR v) noexcept { return Store(state_.product_info.EULAPath, v); }

STDMETHODIMP CProductInfo::get_ProductIcon(IPictureDisp** value) noexcept {
  if (!value) return E_POINTER;
  *value = state_.product_icon.copy();
  return S_OK;
}

STDMETHODIMP CProductInfo::putref_ProductIcon(IPictureDisp* imgNewValue) noexcept {
  if (!imgNewValue) {
    state_.product_icon = nullptr;
    return S_OK;
  }
  // A late-bound host can pass any object here; only a picture is taken.
  ComPtr<IPictureDisp> picture;
  if (FAILED(imgNewValue->QueryInterface(IID_IPictureDisp, picture.put_void()))) return DISP_E_TYPEMISMATCH;
  state_.product_icon = std::move(picture);
  return S_OK;
}

STDMETHODIMP CProductInfo::AddURL(BSTR HREF, BSTR DisplayText) noexcept {
  return Guarded(IID__CProductInfo, [&] {
    std::u16string entry = FromBstr(HREF);
    entry += u'|';
    entry += FromBstr(DisplayText);
    if (!links_) links_.emplace();
    links_->push_back(std::move(entry));
  });
}

STDMETHODIMP CProductInfo::ClearURLS() noexcept {
  links_.emplace();
  return S_OK;
}

STDMETHODIMP CProductInfo::ShowAboutBox(VARIANT_BOOL* result) noexcept {
  if (!result) return E_POINTER;
  // False whether the box was shown or not; a failure is told by the HRESULT.
  *result = VARIANT_FALSE;
  return Guarded(IID__CProductInfo, [&] {
    ThreadState& state = state_;
    // The DLL stays while the box is open, even if the host lets go of this object meanwhile.
    const module::Use open_box;
    if (!state.about_box)
      state.about_box = std::make_unique<AboutBoxForm>(state.product_info, state.lang, module::UseHolder());
    velko::ShowAboutBox(*state.about_box, links_ ? &*links_ : nullptr);
  });
}

}  // namespace velko
