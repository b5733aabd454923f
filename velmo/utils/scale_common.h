// Portable 2x bilinear upsampling row kernels for 8-bit planes and interleaved UV planes.
// Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
