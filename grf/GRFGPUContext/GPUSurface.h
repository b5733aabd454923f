// GPUSurface: one EGL surface (window or pbuffer), created and destroyed by its context.
#pragma once

#include "grf/GRFExport.h"

namespace GRF {

class GPUSurfacePrivate;

class GRF_EXPORT GPUSurface {
public:
    GPUSurface();
    ~GPUSurface();

    GPUSurface(const GPUSurface&) = delete;
    GPUSurface& operator=(const GPUSurface&) = delete;

    // The EGL surface handle; EGL_NO_SURFACE when creation failed.
    void* get_surface() const;
    void set_surface(void* surface);

    // The name of the window-system framebuffer.
    unsigned int get_default_framebuffer_id() const;

private:
    GPUSurfacePrivate* _private;
};

} // namespace GRF
