// GPUContext: the abstract GPU context; a GRFThread whose run() sets up, renders and tears down.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFThread.h"

namespace GRF {

class GPUContextPrivate;
class GPUSurface;

class GRF_EXPORT GPUContext : public GRFThread {
public:
    GPUContext();
    explicit GPUContext(void* parent);
    // Frees the handle record; makes no EGL call (uninit_gpu_context does the tear-down).
    ~GPUContext() override;

    // init_gpu_context(), render(), uninit_gpu_context(), in this order, whatever init returned.
    void run() override;

    virtual int init_gpu_context() = 0;
    virtual int uninit_gpu_context() = 0;
    virtual void* get_gpu_context() = 0;
    virtual GPUSurface* create_surface(void* native_window) = 0;
    virtual GPUSurface* create_offscreen_surface(int width, int height) = 0;
    virtual int destroy_surface(GPUSurface* surface) = 0;
    virtual int make_current(GPUSurface* surface) = 0;
    virtual int swap_buffer(GPUSurface* surface) = 0;
    virtual void render() = 0;
    virtual void* create_gpu_context(void* share_context, void* display) = 0;

    int get_width() const;
    int get_height() const;
    int set_width_height(int width, int height);

protected:
    GPUContextPrivate* context_private() const;
    // The context whose objects a context made by init_gpu_context shares; not owned.
    void* parent_context() const;

private:
    GPUContextPrivate* _private;
    void* _parent;
};

} // namespace GRF
