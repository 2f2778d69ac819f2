// Per-thread state of the component: each apartment thread has its own
// ProductInfo, product icon, language library and About box form. Created on a
// thread's first use and destroyed when the thread detaches. Kept in a TLS slot
// managed from DllMain (thread_local destructors are not reliable in a MinGW
// DLL). A state exists only once the DLL has handed out an object, which pins
// it (module::Pin): no unload ever meets another thread's state, whose COM
// references would otherwise be released from the wrong apartment under the
// loader lock.
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
  // Released when the thread's last object goes, in its apartment.
  ComPtr<IPictureDisp> product_icon;
  int objects = 0;
  LangSupport lang;
  // The thread's frmAboutBox, made by its first ShowAboutBox and reused after
  // that. Declared after what it reads (ProductInfo, the language library), so
  // it goes first.
  std::unique_ptr<AboutBoxForm> about_box;
};

// The calling thread's state, created on first use. Throws std::bad_alloc.
ThreadState& CurrentThreadState();

// DllMain's thread and process detach: frees the calling thread's state. Makes
// no COM call: an icon still held (by an object the host never released) is left.
void OnThreadDetach() noexcept;

}  // namespace velko
