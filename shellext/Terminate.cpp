// Trims the C++ runtime that this DLL carries into Explorer.
//
// libstdc++'s default terminate handler demangles and prints the exception's type, which pulls
// the whole demangler in. Nothing may escape our COM methods anyway, so a terminate here is
// already a bug: end the process without the printing.
//
// The containers and strings we use report a size overflow or a bad index through
// std::__throw_*, whose library versions build a std::logic_error from a string and with it
// pull in the library's copy-on-write string and stdexcept machinery. Our code never indexes
// out of range, and every COM boundary of ours catches any exception and reports
// E_OUTOFMEMORY, so these report what is left, an allocation too large, as std::bad_alloc.
#include <cstdlib>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

namespace std {
void __throw_length_error(const char*) {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_logic_error(const char*) {
    throw std::bad_alloc();
}
void __throw_out_of_range(const char*) {
    throw std::bad_alloc();
}
void __throw_out_of_range_fmt(const char*, ...) {
    throw std::bad_alloc();
}
void __throw_invalid_argument(const char*) {
    throw std::bad_alloc();
}
} // namespace std
