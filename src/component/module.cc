#include "component/module.h"

#include <oleauto.h>

#include <cstring>

#include "component/velko_h.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::module {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
SRWLOCK g_type_info_lock = SRWLOCK_INIT;
ITypeInfo* g_type_info = nullptr;

// Arguments per member, read from the type library with the type information:
// [id][0] for gets and methods, [id][1] for puts. Wine's DispInvoke accepts extra
// arguments silently; hosts must get DISP_E_BADPARAMCOUNT for them.
constexpr DISPID kMaxDispid = 32;
signed char g_arguments[kMaxDispid][2];

void ReadArgumentCounts(ITypeInfo* info) {
  memset(g_arguments, -1, sizeof g_arguments);
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    if (f->memid >= 0 && f->memid < kMaxDispid) {
      const bool put = f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
      // The dispinterface view lists [out, retval] as the result, not an argument.
      g_arguments[f->memid][put] = static_cast<signed char>(f->cParams);
    }
    info->ReleaseFuncDesc(f);
  }
}

}  // namespace

void SetInstance(HINSTANCE instance) noexcept { g_instance = instance; }
HINSTANCE Instance() noexcept { return g_instance; }

std::u16string FileName() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(g_instance, AsWide(path.data()), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void AddObject() noexcept { ::InterlockedIncrement(&g_objects); }
void ReleaseObject() noexcept { ::InterlockedDecrement(&g_objects); }
void Lock() noexcept { ::InterlockedIncrement(&g_locks); }
void Unlock() noexcept { ::InterlockedDecrement(&g_locks); }

bool CanUnload() noexcept {
  if (g_objects != 0 || g_locks != 0) return false;
  ::AcquireSRWLockExclusive(&g_type_info_lock);
  ITypeInfo* info = std::exchange(g_type_info, nullptr);
  ::ReleaseSRWLockExclusive(&g_type_info_lock);
  if (info) info->Release();
  return true;
}

ITypeInfo* ProductInfoTypeInfo(HRESULT* hr) noexcept {
  *hr = S_OK;
  ::AcquireSRWLockShared(&g_type_info_lock);
  ITypeInfo* info = g_type_info;
  ::ReleaseSRWLockShared(&g_type_info_lock);
  if (info) return info;

  ::AcquireSRWLockExclusive(&g_type_info_lock);
  if (!g_type_info) {
    ComPtr<ITypeLib> lib;
    *hr = ::LoadTypeLibEx(AsWide(FileName()), REGKIND_NONE, lib.put());
    if (SUCCEEDED(*hr)) *hr = lib->GetTypeInfoOfGuid(IID__CProductInfo, &g_type_info);
    if (SUCCEEDED(*hr)) ReadArgumentCounts(g_type_info);
  }
  info = g_type_info;
  ::ReleaseSRWLockExclusive(&g_type_info_lock);
  return info;
}

int ArgumentCount(DISPID id, WORD flags) noexcept {
  if (id < 0 || id >= kMaxDispid) return -1;
  return g_arguments[id][(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0];
}

}  // namespace velko::module
