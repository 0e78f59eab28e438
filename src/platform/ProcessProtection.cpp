#include "platform/ProcessProtection.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace quorly {

void protectProcessSecrets()
{
    // Both: a core limit of 0 still lets the kernel hand a dump to a core_pattern pipe,
    // and a non-dumpable process may still be dumped when fs.suid_dumpable is 2.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace quorly
