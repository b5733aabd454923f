// NEON 2x bilinear upsampling row kernels; whole blocks of 16 pixels or 8 UV pairs, the same
// bytes as the portable kernels. Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
