// Soak: thousands of create/release cycles, on one thread and on four apartment
// threads at once, must leave the process as they found it: the same handles,
// GDI and USER objects and modules, and private bytes within a bound far below
// what one leaked allocation per cycle would add.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/com/com_host.h"
#include "tests/com/soak.h"

namespace velko::testing {
namespace {

constexpr int kCycles = 10000;

void CreateReleaseCycles(int cycles) {
  Apartment apartment;
  UniqueBstr name = MakeBstr(u"Soak product");
  for (int i = 0; i < cycles; ++i) {
    auto object = Server().Create();
    ASSERT_TRUE(object);
    object->put_ProductName(name.get());
    object->AddURL(name.get(), name.get());
    BSTR back = nullptr;
    object->get_ProductName(&back);
    ::SysFreeString(back);
  }
}

TEST(Soak, CreateReleaseOnOneThreadLeavesNothingBehind) {
  CreateReleaseCycles(500);  // warm-up: type information, heaps, the language library's first load
  const ProcessSample before = ProcessSample::Take();
  CreateReleaseCycles(kCycles);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kCycles);
}

TEST(Soak, FourApartmentThreadsAtOnceLeaveNothingBehind) {
  auto run_four = [](int cycles) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(CreateReleaseCycles, cycles);
    for (auto& t : threads) t.join();
  };
  run_four(1000);  // warm-up: each thread's heap and state come and go once
  const ProcessSample before = ProcessSample::Take();
  run_four(kCycles / 4);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kCycles);
}

}  // namespace
}  // namespace velko::testing
