#include "component/module.h"

#include <oleauto.h>

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
  }
  info = g_type_info;
  ::ReleaseSRWLockExclusive(&g_type_info_lock);
  return info;
}

}  // namespace velko::module
