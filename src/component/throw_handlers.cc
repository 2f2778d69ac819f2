// The standard library reports a misuse (a position past the end, a length
// beyond max_size, a string made from a null pointer) through a few functions
// in one object file of the runtime. That file also defines every other such
// function, and their exception types build their messages with the runtime's
// own string classes: linking it pulls in two complete explicit instantiations
// of std::string (about 80 KiB of the 32-bit DLL). The DLL defines the ones its
// code calls instead, so that file is never linked.
//
// What a host sees does not change: the COM boundary answers std::bad_alloc
// with E_OUTOFMEMORY and any other exception with E_UNEXPECTED, and no
// message text ever reaches a host.
#include <new>
#include <exception>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
// An array size whose bytes overflow is memory that cannot be had, like
// std::bad_array_new_length, which derives from std::bad_alloc.
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw exception(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }

}  // namespace std
