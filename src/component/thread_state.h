// Per-thread state of the component: each apartment thread has its own
// ProductInfo, product icon, language library and About box form. Created on a
// thread's first use and destroyed when the thread has detached and the last
// object made on it is released, whichever comes last. Kept in a TLS slot
// managed from DllMain (thread_local destructors are not reliable in a MinGW
// DLL). A state exists only once the DLL has handed out an object, which pins
// it (module::Pin): no unload ever meets another thread's state, whose COM
// references would otherwise be released from the wrong apartment under the
// loader lock.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <atomic>
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
  // The thread while it runs, and each object made on it (an object may be
  // released after its thread has ended); the last of them deletes the state.
  std::atomic<int> owners{1};
  // The thread has ended, and its apartment with it: nothing of it is released any more.
  std::atomic<bool> thread_ended{false};
  LangSupport lang;
  // The thread's frmAboutBox, made by its first ShowAboutBox and reused after
  // that. Declared after what it reads (ProductInfo, the language library), so
  // it goes first.
  std::unique_ptr<AboutBoxForm> about_box;
};

// The calling thread's state, created on first use. Throws std::bad_alloc.
ThreadState& CurrentThreadState();

// Gives an owner's hold on `state` back (an object's, as it is released); the
// last one deletes it. Makes no COM call.
void ReleaseThreadState(ThreadState& state) noexcept;

// DllMain's thread and process detach: the calling thread lets go of its state,
// which its objects that still live keep. Makes no COM call: an icon still held
// (by an object the host never released) is left.
void OnThreadDetach() noexcept;

}  // namespace velko
