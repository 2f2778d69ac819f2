// The C++ runtime's default terminate handler prints the type of an uncaught
// exception, and linking it pulls a whole name demangler into the DLL. Nothing
// escapes a COM method of this component (each ends in one translation to an
// HRESULT), and an in-process server has no console to print to, so the plain
// handler serves and the DLL is that much smaller.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
