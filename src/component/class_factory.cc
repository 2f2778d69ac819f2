#include "component/class_factory.h"

#include <utility>

#include "component/module.h"
#include "component/product_info_object.h"

namespace velko {
namespace {

// Stateless, so one static instance serves every thread; its references only
// keep the module loaded.
class ProductInfoFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() noexcept override {
    module::AddUse();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() noexcept override {
    module::ReleaseUse();
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CProductInfo::Create(iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) noexcept override {
    if (lock) module::AddUse();
    else module::ReleaseUse();
    return S_OK;
  }
};

ProductInfoFactory g_factory;

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_CProductInfo) return CLASS_E_CLASSNOTAVAILABLE;
  if (const HRESULT hr = g_factory.QueryInterface(iid, out); FAILED(hr)) return hr;
  if (const HRESULT pinned = module::Pin(); FAILED(pinned)) {
    static_cast<IUnknown*>(std::exchange(*out, nullptr))->Release();
    return pinned;
  }
  return S_OK;
}

}  // namespace velko
