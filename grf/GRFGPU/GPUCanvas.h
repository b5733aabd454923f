// GPUCanvas: a render target (own framebuffer over a texture, or a borrowed one) with its draw calls.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFGPU/GPUCanvasParam.h"

namespace GRF {

class GPUCanvasPrivate;
class GPUDrawCall;
class GPUTexture;

// Drawing binds the framebuffer, clears it, sets the viewport, runs the draw calls in the order they
// were added and waits for the GPU (glFinish), so the target can be sampled by the next pass or by
// another context at once. The framebuffer stays bound afterwards. Neither the draw calls nor the
// target texture are owned: their owners keep them alive while the canvas draws.
class GRF_EXPORT GPUCanvas {
public:
    // With a texture: creates an own framebuffer and attaches the texture, reallocated at the param's
    // size and format. Without: draws into param.fbo_id, which it never deletes.
    GPUCanvas(const GPUCanvasParam& param, GPUTexture* texture);
    // Deletes the framebuffer only when the canvas created it.
    ~GPUCanvas();

    GPUCanvas(const GPUCanvas&) = delete;
    GPUCanvas& operator=(const GPUCanvas&) = delete;

    // Only replaces the stored copy: a new size or format reaches the target through the next
    // set_target_tex, and a new fbo_id is ignored once the canvas has its framebuffer.
    int set_param(const GPUCanvasParam& param);
    GPUCanvasParam* get_param();

    // Attaches the texture (reallocated at the param's size and format, content discarded) to the
    // canvas's framebuffer, creating an own one first when the canvas has framebuffer 0.
    // Returns -1 (logged) for a null texture.
    int set_target_tex(GPUTexture* texture);

    void add_draw_call(GPUDrawCall* draw_call);
    int get_draw_call_size() const;
    // Null (logged) for an index outside the list.
    GPUDrawCall* get_draw_call(int index) const;

    int draw();

    // Reads from the canvas's framebuffer into a tightly packed buffer (pack alignment 1, left at 1)
    // and waits for the GPU. Returns -1 (logged) for a null buffer while no pixel-pack buffer is bound.
    int read_pixel(int x, int y, int width, int height, void* data, int format, int type);
    int read_pixel_rgba(int x, int y, int width, int height, unsigned char* data);

    int get_fbo_id() const;

private:
    // Binds the framebuffer, attaches the texture and reports an incomplete result under `caller`.
    void attach(GPUTexture* texture, const char* caller);

    GPUCanvasPrivate* _private;
};

} // namespace GRF
