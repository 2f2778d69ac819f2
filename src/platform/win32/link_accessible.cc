#include "platform/win32/link_accessible.h"

#include <string>

#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace velko::forms {
namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT ToBstr(const std::u16string& text, BSTR* out) {
  *out = ::SysAllocStringLen(AsWide(text.c_str()), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

class LinkAccessible final : public IAccessible, public IOleWindow {
 public:
  LinkAccessible(HWND label, ComPtr<IAccessible> standard, LinkFacts facts)
      : label_(label), standard_(std::move(standard)), facts_(std::move(facts)) {}
  LinkAccessible(const LinkAccessible&) = delete;
  LinkAccessible& operator=(const LinkAccessible&) = delete;

  void Disconnect() {
    ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    standard_ = nullptr;
  }

  // IUnknown. The last Release may come from a proxy's stub on any thread.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() noexcept override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: clients use the vtable. Passing these on to the standard
  // object would answer its role, not this one's, so there is no type info.
  STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
    return E_NOTIMPL;
  }

  // IAccessible: the link's own answers for the label itself.
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) noexcept override {
    if (!name || !IsSelf(child)) return Forward(&IAccessible::get_accName, child, name);
    return standard_ ? ToBstr(facts_.name, name) : CO_E_OBJNOTCONNECTED;
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) noexcept override {
    if (!value || !IsSelf(child)) return Forward(&IAccessible::get_accValue, child, value);
    return standard_ ? ToBstr(facts_.address, value) : CO_E_OBJNOTCONNECTED;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) noexcept override {
    if (!role || !IsSelf(child)) return Forward(&IAccessible::get_accRole, child, role);
    if (!standard_) return CO_E_OBJNOTCONNECTED;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_LINK;
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) noexcept override {
    const HRESULT hr = Forward(&IAccessible::get_accState, child, state);
    if (FAILED(hr) || !state || state->vt != VT_I4 || !IsSelf(child)) return hr;
    // A label's standard state knows nothing of the tab stop or the focus it takes as a link.
    state->lVal |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | (::GetFocus() == label_ ? STATE_SYSTEM_FOCUSED : 0);
    return hr;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) noexcept override {
    if (!action || !IsSelf(child)) return Forward(&IAccessible::get_accDefaultAction, child, action);
    return standard_ ? ToBstr(facts_.default_action, action) : CO_E_OBJNOTCONNECTED;
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) noexcept override {
    if (!IsSelf(child)) return Forward(&IAccessible::accDoDefaultAction, child);
    if (!standard_) return CO_E_OBJNOTCONNECTED;
    return ::PostMessageW(label_, LinkActivateMessage(), 0, 0) ? S_OK : E_FAIL;
  }

  // IAccessible: the system's answers.
  STDMETHODIMP get_accParent(IDispatch** parent) noexcept override { return Forward(&IAccessible::get_accParent, parent); }
  STDMETHODIMP get_accChildCount(long* count) noexcept override { return Forward(&IAccessible::get_accChildCount, count); }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) noexcept override {
    return Forward(&IAccessible::get_accChild, child, out);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) noexcept override {
    return Forward(&IAccessible::get_accDescription, child, out);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* out) noexcept override { return Forward(&IAccessible::get_accHelp, child, out); }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) noexcept override {
    return Forward(&IAccessible::get_accHelpTopic, file, child, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* out) noexcept override {
    return Forward(&IAccessible::get_accKeyboardShortcut, child, out);
  }
  STDMETHODIMP get_accFocus(VARIANT* out) noexcept override { return Forward(&IAccessible::get_accFocus, out); }
  STDMETHODIMP get_accSelection(VARIANT* out) noexcept override { return Forward(&IAccessible::get_accSelection, out); }
  STDMETHODIMP accSelect(long flags, VARIANT child) noexcept override { return Forward(&IAccessible::accSelect, flags, child); }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) noexcept override {
    return Forward(&IAccessible::accLocation, left, top, width, height, child);
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) noexcept override {
    return Forward(&IAccessible::accNavigate, direction, start, end);
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* child) noexcept override {
    return Forward(&IAccessible::accHitTest, x, y, child);
  }
  STDMETHODIMP put_accName(VARIANT child, BSTR name) noexcept override { return Forward(&IAccessible::put_accName, child, name); }
  STDMETHODIMP put_accValue(VARIANT child, BSTR value) noexcept override {
    return Forward(&IAccessible::put_accValue, child, value);
  }

  // IOleWindow: how WindowFromAccessibleObject finds the label.
  STDMETHODIMP GetWindow(HWND* window) noexcept override {
    if (!window) return E_POINTER;
    if (!standard_) return CO_E_OBJNOTCONNECTED;
    *window = label_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

 private:
  ~LinkAccessible() = default;

  // The standard object's answer, while the label's window is there.
  template <typename Method, typename... Args>
  HRESULT Forward(Method method, Args... args) const {
    return standard_ ? (standard_.get()->*method)(args...) : CO_E_OBJNOTCONNECTED;
  }

  const platform::ModuleUse module_use_;
  LONG refs_ = 1;
  const HWND label_;
  ComPtr<IAccessible> standard_;
  const LinkFacts facts_;
};

}  // namespace

UINT LinkActivateMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"VELKO.LinkActivate");
  return message;
}

ComPtr<IAccessible> MakeLinkAccessible(HWND label, ComPtr<IAccessible> standard, LinkFacts facts) {
  return ComPtr<IAccessible>::Attach(new (std::nothrow) LinkAccessible(label, std::move(standard), std::move(facts)));
}

void LinkAccessibleDisconnect(IAccessible* object) { static_cast<LinkAccessible*>(object)->Disconnect(); }

}  // namespace velko::forms
