// The CPU feature word that selects NEON or portable row kernels.
#pragma once

#include "grf/GRFExport.h"
#include "velmo/velmo_cpu.h"  // the feature bits and the declarations a host sees

namespace kx_velmo {

// Zero at load. The library never probes the processor: the first feature test on a zero word
// stores all three bits. A host may store another non-zero value before its first call, e.g.
// CPU_INITIALIZED alone, to force the portable kernels.
GRF_EXPORT extern int cpu_info_;

// Stores the fixed feature set into cpu_info_ and returns it.
int SR_InitCpuFlags();

// The feature word (initialised on first use) ANDed with `flag`.
int SR_TestCpuFlag(int flag);

} // namespace kx_velmo
