// libqm_fault_preload.so: SessionKiller for a process the tests start,
// such as quillmere-import. Put in LD_PRELOAD, its stand-ins for the driver
// manager's functions (OdbcFaults.cpp) come first in the process; the plan
// is read from the environment when the library is loaded (see
// ArmFromEnvironment).
#include <SessionKiller.h>

namespace {

__attribute__((constructor)) void ArmAtLoad() { qm::test::ArmFromEnvironment(); }

}  // namespace
