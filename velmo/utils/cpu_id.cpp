// The CPU feature word and its first-use initialisation.
#include "velmo/utils/cpu_id.h"

namespace kx_velmo {

int cpu_info_ = 0;

int SR_InitCpuFlags()
{
    const int flags = CPU_INITIALIZED | CPU_HAS_ARM | CPU_HAS_NEON;
    // Concurrent first calls all store the same value; the atomic access keeps that race benign
    // while cpu_info_ stays a plain int a host can set.
    __atomic_store_n(&cpu_info_, flags, __ATOMIC_RELAXED);
    return flags;
}

int SR_TestCpuFlag(int flag)
{
    int info = __atomic_load_n(&cpu_info_, __ATOMIC_RELAXED);
    if (info == 0)
        info = SR_InitCpuFlags();
    return info & flag;
}

} // namespace kx_velmo
