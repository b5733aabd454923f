// GPUSurface: holds one EGL surface handle in its private companion.
#include "grf/GRFGPUContext/GPUSurface.h"

namespace GRF {

class GPUSurfacePrivate {
public:
    void* surface = nullptr;
};

GPUSurface::GPUSurface()
    : _private(new GPUSurfacePrivate)
{
}

GPUSurface::~GPUSurface()
{
    delete _private;
}

void* GPUSurface::get_surface() const { return _private->surface; }
void GPUSurface::set_surface(void* surface) { _private->surface = surface; }
unsigned int GPUSurface::get_default_framebuffer_id() const { return 0; }

} // namespace GRF
