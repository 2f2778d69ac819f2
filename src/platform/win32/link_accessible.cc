#include "platform/win32/link_accessible.h"

#include <atomic>
#include <string>

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
  LinkAccessible(HWND label, ComPtr<IAccessible> standard, LinkFacts facts, IUnknown* module_use)
      : module_use_(module_use), label_(label), standard_(std::move(standard)), facts_(std::move(facts)) {}
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
  STDMETHODIMP get_accName(VARIANT child, BSTR* out) noexcept override {
    return Text(&IAccessible::get_accName, child, out, facts_.name);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* out) noexcept override {
    return Text(&IAccessible::get_accValue, child, out, facts_.address);
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
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) noexcept override {
    return Text(&IAccessible::get_accDefaultAction, child, out, facts_.default_action);
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) noexcept override {
    if (!IsSelf(child)) return Forward(&IAccessible::accDoDefaultAction, child);
    if (!standard_) return CO_E_OBJNOTCONNECTED;
    return ::PostMessageW(label_, LinkActivateMessage(), 0, 0) ? S_OK : E_FAIL;
  }

  // IAccessible: the system's answers.
#define VELKO_FORWARD(method, parameters, ...) \
  STDMETHODIMP method parameters noexcept override { return Forward(&IAccessible::method, __VA_ARGS__); }
  VELKO_FORWARD(get_accParent, (IDispatch** parent), parent)
  VELKO_FORWARD(get_accChildCount, (long* count), count)
  VELKO_FORWARD(get_accChild, (VARIANT child, IDispatch** out), child, out)
  VELKO_FORWARD(get_accDescription, (VARIANT child, BSTR* out), child, out)
  VELKO_FORWARD(get_accHelp, (VARIANT child, BSTR* out), child, out)
  VELKO_FORWARD(get_accHelpTopic, (BSTR* file, VARIANT child, long* topic), file, child, topic)
  VELKO_FORWARD(get_accKeyboardShortcut, (VARIANT child, BSTR* out), child, out)
  VELKO_FORWARD(get_accFocus, (VARIANT* out), out)
  VELKO_FORWARD(get_accSelection, (VARIANT* out), out)
  VELKO_FORWARD(accSelect, (long flags, VARIANT child), flags, child)
  VELKO_FORWARD(accLocation, (long* left, long* top, long* width, long* height, VARIANT child), left, top, width,
                height, child)
  VELKO_FORWARD(accNavigate, (long direction, VARIANT start, VARIANT* end), direction, start, end)
  VELKO_FORWARD(accHitTest, (long x, long y, VARIANT* child), x, y, child)
  VELKO_FORWARD(put_accName, (VARIANT child, BSTR name), child, name)
  VELKO_FORWARD(put_accValue, (VARIANT child, BSTR value), child, value)
#undef VELKO_FORWARD

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
  // `text` for the label itself; the standard answer for anything else.
  HRESULT Text(HRESULT (STDMETHODCALLTYPE IAccessible::*standard)(VARIANT, BSTR*), VARIANT child, BSTR* out,
               const std::u16string& text) const {
    if (!out || !IsSelf(child)) return Forward(standard, child, out);
    return standard_ ? ToBstr(text, out) : CO_E_OBJNOTCONNECTED;
  }

  const ComPtr<IUnknown> module_use_;
  LONG refs_ = 1;
  const HWND label_;
  ComPtr<IAccessible> standard_;
  const LinkFacts facts_;
};

}  // namespace

UINT LinkActivateMessage() {
  // Registered again, a name gives the same number; a registration that failed
  // is tried again. (No function-local static: see CommonControlsContext in display.cc.)
  static std::atomic<UINT> message{0};
  if (!message) message = ::RegisterWindowMessageW(L"VELKO.LinkActivate");
  return message;
}

ComPtr<IAccessible> MakeLinkAccessible(HWND label, ComPtr<IAccessible> standard, LinkFacts facts,
                                       IUnknown* module_use) {
  return ComPtr<IAccessible>::Attach(
      new (std::nothrow) LinkAccessible(label, std::move(standard), std::move(facts), module_use));
}

void LinkAccessibleDisconnect(IAccessible* object) { static_cast<LinkAccessible*>(object)->Disconnect(); }

}  // namespace velko::forms
