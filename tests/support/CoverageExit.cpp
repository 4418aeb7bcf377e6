// Coverage builds only (scripts/test --coverage): the command line ends
// with _Exit, which skips the exit handlers that write a process's coverage
// counts. Linked with --wrap=_Exit, its _Exit exits normally instead, as in
// the sanitizer builds.
#include <cstdlib>

extern "C" [[noreturn]] void __wrap__Exit(int status) { std::exit(status); }
