// The upscaling pass as the renderer draws it: quad, draw call, canvas over an own texture.
#include "shaders/UpscalePass.h"

#include "grf/GRFMath/Matrix.h"
#include "shaders/QuadProgram.h"
#include "velmo/SrRenderCommon.h"

namespace velmo_test {

using kx_velmo::SrRenderCommon;

const char* variant_name(UpscaleVariant variant)
{
    return variant == UpscaleVariant::kMain ? "main" : "fallback";
}

RgbaImage draw_upscale_pass(UpscaleVariant variant, const RgbaImage& input, int output_width, int output_height,
                            const UpscaleSettings& settings)
{
    const bool main = variant == UpscaleVariant::kMain;
    QuadProgram pass(main ? SrRenderCommon::_s_usm_1pass_vertex_shader_src_310
                          : SrRenderCommon::_s_usm_1pass_vertex_shader_src,
                     main ? SrRenderCommon::_s_gsr_render_fragment_shader_src
                          : with_desktop_header(SrRenderCommon::_s_gsr_fallback_render_fragment_shader_src));
    const auto source = upload(input);

    // Reciprocals in double precision from the float sizes, rounded to float, as the renderer does.
    const float video_width = static_cast<float>(input.width), video_height = static_cast<float>(input.height);
    const float viewport_info[4] = {static_cast<float>(1.0 / video_width), static_cast<float>(1.0 / video_height),
                                    video_width, video_height};
    const GRF::Matrix4x4<float> identity;
    GRF::GPUDrawCall& call = pass.call();
    call.put_uniform_mat4x4("texMat", identity, true);
    call.put_uniform_mat4x4("videoCrop", identity, true);
    call.put_uniform_floatvec4("ViewportInfo", viewport_info);
    call.put_uniform_float("texelWidthOffset", static_cast<float>(1.0 / static_cast<float>(output_width)));
    call.put_uniform_float("texelHeightOffset", static_cast<float>(1.0 / static_cast<float>(output_height)));
    call.put_uniform_int("enableEdgeAdaptive", settings.enable_edge_adaptive);
    call.put_uniform_int("enableBilateralFilter", settings.enable_bilateral_filter);
    call.put_uniform_int("enableFaceProtection", settings.enable_face_protection);
    call.put_uniform_float("usmSharpness", settings.usm_sharpness);
    pass.set_texture("ps0", source.get(), 0);
    return pass.draw(output_width, output_height);
}

} // namespace velmo_test
