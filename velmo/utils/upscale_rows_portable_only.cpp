// Builds without Highway: the CPU upscaling pass has no SIMD kernels.
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

const RowKernels* SR_SimdRowKernels() { return nullptr; }

} // namespace kx_velmo
