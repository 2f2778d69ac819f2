// The COM surface against Scripting.Dictionary, the system's own small
// automation object, created and called the same way in the same run. Needs
// VELKO.dll registered (scripts/bench.sh does that).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

#include "bench/bench.h"

namespace {

// {4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}, VELKO.CProductInfo
const CLSID kProductInfo = {0x4f52fd55, 0xceea, 0x43b0, {0xbe, 0xb8, 0x45, 0xcf, 0x90, 0x5b, 0xe7, 0xc3}};

struct Com {
  Com() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Com() { ::CoUninitialize(); }
};

CLSID Dictionary() {
  CLSID clsid = {};
  ::CLSIDFromProgID(L"Scripting.Dictionary", &clsid);
  return clsid;
}

void CreateRelease(const CLSID& clsid) {
  IDispatch* object = nullptr;
  if (SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&object))))
    object->Release();
}

// The first object of a thread loads its language library and the last one
// unloads it; a host that keeps one object alive pays that once.
velko::bench::Result CreateWithAnotherAlive() {
  Com com;
  IDispatch* keeper = nullptr;
  ::CoCreateInstance(kProductInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&keeper));
  const CLSID dictionary = Dictionary();
  auto r = velko::bench::Compare([] { CreateRelease(kProductInfo); }, [&] { CreateRelease(dictionary); }, 200);
  if (keeper) keeper->Release();
  return r;
}

velko::bench::Result CreateAlone() {
  Com com;
  const CLSID dictionary = Dictionary();
  return velko::bench::Compare([] { CreateRelease(kProductInfo); }, [&] { CreateRelease(dictionary); }, 100, 21);
}

DISPID IdOf(IDispatch* d, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  return id;
}

velko::bench::Result PropertyGet() {
  Com com;
  IDispatch* ours = nullptr;
  IDispatch* dictionary = nullptr;
  ::CoCreateInstance(kProductInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&ours));
  ::CoCreateInstance(Dictionary(), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&dictionary));
  if (!ours || !dictionary) {
    std::printf("(objects not available: register VELKO.dll first)\n");
    return {0, 1};
  }
  const DISPID name = IdOf(ours, L"ProductName");
  const DISPID count = IdOf(dictionary, L"Count");
  auto get = [](IDispatch* d, DISPID id) {
    DISPPARAMS none = {};
    VARIANT result;
    ::VariantInit(&result);
    d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    ::VariantClear(&result);
  };
  auto r = velko::bench::Compare([&] { get(ours, name); }, [&] { get(dictionary, count); }, 1000);
  ours->Release();
  dictionary->Release();
  return r;
}

VELKO_BENCH_ROW("CoCreateInstance+Release vs Dictionary (one object kept)", 1.2, CreateWithAnotherAlive);
VELKO_BENCH_ROW("CoCreateInstance+Release vs Dictionary (no other object)", 1.2, CreateAlone);
VELKO_BENCH_ROW("Invoke get ProductName vs Dictionary.Count", 1.0, PropertyGet);

}  // namespace
