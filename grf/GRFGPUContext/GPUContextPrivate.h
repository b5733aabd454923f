// GPUContextPrivate: the state behind GPUContext (size and the EGL handle record); internal.
#pragma once

#include "grf/GRFGPUContext/GPUCtx.h"

namespace GRF {

class GPUContextPrivate {
public:
    int width = 0;
    int height = 0;
    GPUCtx ctx;
};

} // namespace GRF
