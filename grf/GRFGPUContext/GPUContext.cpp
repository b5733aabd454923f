// GPUContext: size bookkeeping and the thread body shared by every context implementation.
#include "grf/GRFGPUContext/GPUContext.h"

#include "grf/GRFGPUContext/GPUContextPrivate.h"

namespace GRF {

GPUContext::GPUContext()
    : GPUContext(nullptr)
{
}

GPUContext::GPUContext(void* parent)
    : _private(new GPUContextPrivate)
    , _parent(parent)
{
}

GPUContext::~GPUContext()
{
    delete _private;
}

void GPUContext::run()
{
    init_gpu_context();
    render();
    uninit_gpu_context();
}

int GPUContext::get_width() const { return _private->width; }
int GPUContext::get_height() const { return _private->height; }

int GPUContext::set_width_height(int width, int height)
{
    _private->width = width;
    _private->height = height;
    return 0;
}

GPUContextPrivate* GPUContext::context_private() const { return _private; }
void* GPUContext::parent_context() const { return _parent; }

} // namespace GRF
