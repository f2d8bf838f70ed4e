// Run-time support of Setup.exe, which is built without exceptions and linked statically.
//
// The C++ library's allocation functions and its string and container checks report failure by
// throwing; linked in as they are, they bring the library's whole exception machinery and its
// verbose terminate handler into the executable, several times the size of the program itself.
// Here allocation goes straight to the process heap (HeapAllocation.cpp), and each of the
// library's error paths ends the process quietly: with no exceptions in the program there is
// nobody to catch them anyway.
// The error-path functions replace the library's own in one piece, so none of it is linked.
#include <windows.h>

namespace {

[[noreturn]] void EndProcess() { ::ExitProcess(ERROR_NOT_ENOUGH_MEMORY); }

}  // namespace

namespace std {

void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
void __throw_bad_cast() { EndProcess(); }
void __throw_bad_typeid() { EndProcess(); }
void __throw_bad_exception() { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_domain_error(const char*) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_length_error(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_runtime_error(const char*) { EndProcess(); }
void __throw_range_error(const char*) { EndProcess(); }
void __throw_overflow_error(const char*) { EndProcess(); }
void __throw_underflow_error(const char*) { EndProcess(); }

}  // namespace std
