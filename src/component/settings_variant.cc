#include "component/settings_variant.h"

#include <oleauto.h>

#include "component/com_error.h"
#include "platform/win32/unique_handle.h"

namespace velko {

HRESULT SettingsToVariant(const SettingsTable& table, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  V_VT(out) = VT_EMPTY;
  if (table.empty()) return S_OK;
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(table.size()), 0}, {2, 0}};  // leftmost dimension first
  UniqueSafeArray array(::SafeArrayCreate(VT_BSTR, 2, bounds));
  if (!array) return E_OUTOFMEMORY;
  for (LONG row = 0; row < static_cast<LONG>(table.size()); ++row) {
    for (LONG column = 0; column < 2; ++column) {
      const std::u16string& text = table[row][column];
      // Counted, so a NUL inside a name or text survives.
      UniqueBstr element(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                             static_cast<UINT>(text.size())));
      if (!element) return E_OUTOFMEMORY;
      LONG index[2] = {row, column};
      // The array keeps its own copy of the string.
      if (const HRESULT hr = ::SafeArrayPutElement(array.get(), index, element.get()); FAILED(hr)) return hr;
    }
  }
  V_VT(out) = VT_ARRAY | VT_BSTR;
  V_ARRAY(out) = array.release();
  return S_OK;
}

HRESULT SettingsErrorToHresult(const Error& error, REFIID iid) noexcept { return ReportError(error, iid); }

}  // namespace velko
