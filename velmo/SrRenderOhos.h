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

    // Draws the current input texture into the output texture. 0 drawn; -201 a set-up stage was
    // performed and nothing drawn; -2 own context not creatable; -3 no valid video size;
    // -4 no input texture. The caller's context and surfaces are current again on return.
    int render_from_texid(GRF::Matrix4x4<float>& matrix);

    // Name of the external-image texture made at construction, or -1.
    int get_texture_id() const;
    // Stores the transpose of `matrix` as the texture matrix (replaced by the next frame's).
    int frame_available(GRF::Matrix4x4<float>& matrix);
    std::shared_ptr<GRF::GPUTexture>& get_input_texture2D();
    // Draws into the caller's texture `texid` from now on (the name stays the caller's).
    // -1 for a negative name.
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

    void* _host_handle;
    std::shared_ptr<GRF::GPUTexture> _oes_texture;
    EGLContext _egl_context;
    EGLDisplay _egl_display;
    napi_value__* _napi_value;
};

} // namespace kx_velmo
