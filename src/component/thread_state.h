// Per-thread state of the component: each apartment thread has its own
// ProductInfo, product icon, language library and About box form. Created on a
// thread's first use and destroyed when the thread detaches or the DLL unloads.
// Kept in a TLS slot managed from DllMain (thread_local destructors are not
// reliable in a MinGW DLL).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "dialogs/product_info.h"
#include "localization/lang_support.h"
#include "platform/win32/unique_handle.h"

namespace velko {

class AboutBoxForm;

struct ThreadState {
  ThreadState();
  ~ThreadState();

  ProductInfo product_info;
  ComPtr<IPictureDisp> product_icon;
  LangSupport lang;
  // The thread's frmAboutBox, made by its first ShowAboutBox and reused after
  // that. Declared after what it reads (ProductInfo, the language library), so
  // it goes first.
  std::unique_ptr<AboutBoxForm> about_box;

  // All states of the process, so an unload can free those of live threads.
  ThreadState* prev = nullptr;
  ThreadState* next = nullptr;
};

// The calling thread's state, created on first use. Throws std::bad_alloc.
ThreadState& CurrentThreadState();

// DllMain notifications.
void OnThreadDetach() noexcept;
// `unloading`: FreeLibrary (free every thread's state) rather than process exit.
void OnProcessDetach(bool unloading) noexcept;

}  // namespace velko
