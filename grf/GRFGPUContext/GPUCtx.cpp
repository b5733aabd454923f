// GPUCtx: heap record of EGL context, config and display handles.
#include "grf/GRFGPUContext/GPUCtx.h"

namespace GRF {

struct GPUCtx::Handles {
    void* context;
    void* config;
    void* display;
};

GPUCtx::GPUCtx()
    : _handles(new Handles{nullptr, nullptr, nullptr})
{
}

GPUCtx::~GPUCtx()
{
    delete _handles;
}

void* GPUCtx::context() const { return _handles->context; }
void* GPUCtx::config() const { return _handles->config; }
void* GPUCtx::display() const { return _handles->display; }
void GPUCtx::set_context(void* context) { _handles->context = context; }
void GPUCtx::set_display(void* display) { _handles->display = display; }
void** GPUCtx::config_address() { return &_handles->config; }

} // namespace GRF
