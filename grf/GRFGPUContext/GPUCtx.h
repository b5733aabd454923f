// GPUCtx: the record of the three EGL handles (context, config, display) a context owns.
#pragma once

#include "grf/GRFExport.h"

namespace GRF {

class GRF_EXPORT GPUCtx {
public:
    // Allocates the handle record, all handles null.
    GPUCtx();
    // Frees the record; the EGL objects it names are not destroyed.
    ~GPUCtx();

    GPUCtx(const GPUCtx&) = delete;
    GPUCtx& operator=(const GPUCtx&) = delete;

    void* context() const;
    void* config() const;
    void* display() const;
    void set_context(void* context);
    void set_display(void* display);
    // EGL writes the chosen config straight into the record through this address.
    void** config_address();

private:
    struct Handles;
    Handles* _handles;
};

} // namespace GRF
