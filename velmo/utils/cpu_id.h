// The CPU feature word that selects NEON or portable row kernels.
#pragma once

#include "velmo/velmo_cpu.h"  // cpu_info_ and the feature bits, as a host sees them

namespace kx_velmo {

// Stores the fixed feature set into cpu_info_ and returns it.
int SR_InitCpuFlags();

// The feature word (initialised on first use) ANDed with `flag`.
int SR_TestCpuFlag(int flag);

} // namespace kx_velmo
