// A test program that frees a block twice and exits with 0: the runner must fail
// it on Wine's heap report alone, whichever class Wine reports it in.
#include <windows.h>

int main() {
  const HANDLE heap = ::GetProcessHeap();
  void* const block = ::HeapAlloc(heap, 0, 16);
  ::HeapFree(heap, 0, block);
  ::HeapFree(heap, 0, block);
}
