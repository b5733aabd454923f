// GPUContextAndroid: the EGL implementation of every GPUContext operation except render().
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFGPUContext/GPUContext.h"

namespace GRF {

class GRF_EXPORT GPUContextAndroid : public GPUContext {
public:
    GPUContextAndroid();
    explicit GPUContextAndroid(void* parent);
    ~GPUContextAndroid() override;

    // Default display, first matching config and an ES 3 context sharing the parent's objects,
    // all stored in the handle record. 0 on success, -1 on any failure (nothing rolled back).
    int init_gpu_context() override;
    // Destroys the record's context and terminates its display; returns 0.
    int uninit_gpu_context() override;
    void* get_gpu_context() override;
    // The caller owns the returned surface and gives it back through destroy_surface.
    GPUSurface* create_surface(void* native_window) override;
    GPUSurface* create_offscreen_surface(int width, int height) override;
    // Destroys the EGL surface and frees the object; returns 0 whatever EGL reported.
    int destroy_surface(GPUSurface* surface) override;
    // Null makes the context current without surfaces. Returns EGL's boolean.
    int make_current(GPUSurface* surface) override;
    int swap_buffer(GPUSurface* surface) override;
    // A new ES 3 context sharing objects with share_context, on the given display (initialising
    // the default display when null). Stores nothing; the caller owns and destroys the context.
    void* create_gpu_context(void* share_context, void* display) override;

    int gl_flush();
    int gl_finish();
};

} // namespace GRF
