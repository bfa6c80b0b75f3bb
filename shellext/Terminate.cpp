// libstdc++'s default terminate handler demangles and prints the exception's type, which pulls
// the whole demangler into this DLL. Nothing may escape our COM methods anyway, so a terminate
// here is already a bug: end the process without the printing.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
