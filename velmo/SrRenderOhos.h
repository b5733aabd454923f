// SrRenderOhos: one player stream's renderer, drawing each frame in its own context shared with the player's.
#pragma once

#include <EGL/egl.h>

#include <memory>

#include "grf/GRFExport.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPUContext/GPUContextAndroid.h"
#include "grf/GRFMath/Matrix.h"
#include "napi/native_api.h"
#include "velmo/SrRenderCommon.h"

namespace kx_velmo {

class GRF_EXPORT SrRenderOhos : public GRF::GPUContextAndroid, public SrRenderCommon {
public:
    explicit SrRenderOhos(void* handle);
    SrRenderOhos(void* host_handle, int input_texid, napi_value__* value);
    // Deletes the external-image texture; stop_render() must have released the rest.
    ~SrRenderOhos() override;

    // Nothing renders on a worker thread of this object; frames are drawn by render_from_texid.
    void render() override;

    // Releases every GPU object in the renderer's own context, then destroys that context.
    // Only destruction may follow.
    virtual int stop_render() override;

    // Draws the current input texture into the output texture at the context's size. 0 drawn;
    // -201 a set-up stage was performed and nothing drawn; -2 own context not creatable; -3 no
    // valid video size, or the video or output size beyond the GPU's texture or viewport limits
    // (nothing allocated); -4 no input texture. The caller's context and surfaces are current again
    // on every return, also when an exception (out of memory) leaves it.
    int render_from_texid(GRF::Matrix4x4<float>& matrix);

    // Name of the external-image texture made at construction, or -1.
    int get_texture_id() const;
    // Stores the transpose of `matrix` as the texture matrix (replaced by the next frame's).
    int frame_available(GRF::Matrix4x4<float>& matrix);
    std::shared_ptr<GRF::GPUTexture>& get_input_texture2D();
    // Draws into the caller's texture `texid` from now on (the name stays the caller's); canvases
    // made at set-up are attached to it at the current output size. -1 (logged) for a negative
    // name and for a texture with immutable storage (glTexStorage2D), which could not follow the
    // output size.
    int set_output_texid(int texid);
    void velmo_notify_update_teximage();

private:
    // The two halves of a frame once the set-up stages are done.
    void draw_upscaling_path();
    void draw_plain_path();
    // Performs the next set-up stage; returns true when a stage finished this call (result -201).
    bool run_setup_stage();
    void build_base_programs();
    void build_sr_programs();
    void create_textures();
    void create_canvases();
    // Brings one of the two canvases over the output texture to the current output size.
    void fit_to_output_size(GRF::GPUCanvas* canvas);
    void note_output_size(int width, int height);

    // Kept for the host, as handed in; the renderer itself never reads it.
    [[maybe_unused]] void* _host_handle;
    std::shared_ptr<GRF::GPUTexture> _oes_texture;
    EGLContext _egl_context;
    EGLDisplay _egl_display;
    [[maybe_unused]] napi_value__* _napi_value;
    // The size the output texture was last allocated at; 0 x 0 when unknown.
    int _output_texture_width = 0;
    int _output_texture_height = 0;
};

} // namespace kx_velmo
