#include "platform/win32/link_accessible.h"

#include <string>

namespace velko::forms {
namespace {

constexpr wchar_t kDefaultAction[] = L"Open link";

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT ToBstr(const wchar_t* text, UINT length, BSTR* out) {
  *out = ::SysAllocStringLen(text, length);
  return *out ? S_OK : E_OUTOFMEMORY;
}

class LinkAccessible final : public IAccessible, public IOleWindow {
 public:
  LinkAccessible(HWND label, ComPtr<IAccessible> standard) : label_(label), standard_(std::move(standard)) {}
  LinkAccessible(const LinkAccessible&) = delete;
  LinkAccessible& operator=(const LinkAccessible&) = delete;

  // IUnknown. Clients may call on any thread, hence the interlocked count.
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

  // IAccessible: the link's own answers for the label itself while it shows a link.
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) noexcept override {
    if (!name || !AsLink(child)) return standard_->get_accName(child, name);
    return Text(kLinkName, name);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) noexcept override {
    if (!value || !AsLink(child)) return standard_->get_accValue(child, value);
    return Text(kLinkAddress, value);
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) noexcept override {
    if (!role || !AsLink(child)) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_LINK;
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) noexcept override {
    const HRESULT hr = standard_->get_accState(child, state);
    if (FAILED(hr) || !state || state->vt != VT_I4 || !IsSelf(child)) return hr;
    const LRESULT facts = State();
    if (!(facts & kShowsLink)) return hr;
    // A label's standard state knows nothing of the tab stop or the focus it takes as a link.
    state->lVal |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | ((facts & kHasFocus) ? STATE_SYSTEM_FOCUSED : 0);
    return hr;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) noexcept override {
    if (!action || !AsLink(child)) return standard_->get_accDefaultAction(child, action);
    return ToBstr(kDefaultAction, static_cast<UINT>(std::size(kDefaultAction) - 1), action);
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) noexcept override {
    if (!AsLink(child)) return standard_->accDoDefaultAction(child);
    return ::PostMessageW(label_, LinkLabelMessage(), kLinkActivate, 0) ? S_OK : E_FAIL;
  }

  // IAccessible: the system's answers.
  STDMETHODIMP get_accParent(IDispatch** parent) noexcept override { return standard_->get_accParent(parent); }
  STDMETHODIMP get_accChildCount(long* count) noexcept override { return standard_->get_accChildCount(count); }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) noexcept override {
    return standard_->get_accChild(child, out);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) noexcept override {
    return standard_->get_accDescription(child, out);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* out) noexcept override { return standard_->get_accHelp(child, out); }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) noexcept override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* out) noexcept override {
    return standard_->get_accKeyboardShortcut(child, out);
  }
  STDMETHODIMP get_accFocus(VARIANT* out) noexcept override { return standard_->get_accFocus(out); }
  STDMETHODIMP get_accSelection(VARIANT* out) noexcept override { return standard_->get_accSelection(out); }
  STDMETHODIMP accSelect(long flags, VARIANT child) noexcept override { return standard_->accSelect(flags, child); }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) noexcept override {
    return standard_->accLocation(left, top, width, height, child);
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) noexcept override {
    return standard_->accNavigate(direction, start, end);
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* child) noexcept override {
    return standard_->accHitTest(x, y, child);
  }
  STDMETHODIMP put_accName(VARIANT child, BSTR name) noexcept override { return standard_->put_accName(child, name); }
  STDMETHODIMP put_accValue(VARIANT child, BSTR value) noexcept override {
    return standard_->put_accValue(child, value);
  }

  // IOleWindow: how WindowFromAccessibleObject finds the label.
  STDMETHODIMP GetWindow(HWND* window) noexcept override {
    if (!window) return E_POINTER;
    *window = label_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

 private:
  ~LinkAccessible() = default;

  LRESULT State() const { return ::SendMessageW(label_, LinkLabelMessage(), kLinkState, 0); }
  bool AsLink(const VARIANT& child) const { return IsSelf(child) && (State() & kShowsLink); }
  HRESULT Text(LinkRequest request, BSTR* out) const noexcept {
    try {
      std::u16string text;
      if (!::SendMessageW(label_, LinkLabelMessage(), request, reinterpret_cast<LPARAM>(&text))) return E_FAIL;
      return ToBstr(reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<UINT>(text.size()), out);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  LONG refs_ = 1;
  const HWND label_;
  const ComPtr<IAccessible> standard_;
};

}  // namespace

UINT LinkLabelMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"VELKO.LinkLabel");
  return message;
}

ComPtr<IAccessible> MakeLinkAccessible(HWND label, ComPtr<IAccessible> standard) {
  return ComPtr<IAccessible>::Attach(new (std::nothrow) LinkAccessible(label, std::move(standard)));
}

}  // namespace velko::forms
