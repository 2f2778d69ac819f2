// Fails the way a faulty test program does, to prove that the runner notices at
// once: an access violation, or with "heap" a block freed twice.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "heap") == 0) {
    HANDLE heap = ::GetProcessHeap();
    void* block = ::HeapAlloc(heap, 0, 16);
    ::HeapFree(heap, 0, block);
    ::HeapFree(heap, 0, block);
    return 0;
  }
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}
