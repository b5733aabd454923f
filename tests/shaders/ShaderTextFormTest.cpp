// The exported texts of the upscaling pass, the one-pass unsharp mask, the filter nodes and the demo
// programs: their version lines and one-line form, and the reference compiler's verdict on each as
// written and in the GLSL ES form GPUShader compiles on ES drivers (no GL needed).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grf/GRFGPU/GPUShader.h"
#include "grf/GRFGPU/GRFMagicData.h"
#include "shaders/Glslang.h"
#include "velmo/GRFRenderNodeBilateral.h"
#include "velmo/GRFRenderNodeGaussianBlur.h"
#include "velmo/GRFRenderNodeUSM.h"
#include "velmo/SrRenderCommon.h"

using velmo_test::glslang_rejection;

namespace {

enum class Form {
    kDesktop,      // starts with "#version 330": valid as GLSL 3.30 and in its ES 3.00 rewrite
    kDesktopOes,   // the same, but samples samplerExternalOES, which only the ES rewrite declares
    kEs310,        // starts with "#version 310 es": compiled as written
    kNoVersion,    // a fragment text compiled behind "#version 330\n"
};

struct Text {
    std::string name;
    std::string text;
    bool vertex;
    Form form;
};

std::vector<Text> texts()
{
    using kx_velmo::SrRenderCommon;
    namespace demo = GRF::GRFMagicData;
    using Blur = kx_velmo::GRFRenderNodeGaussianBlur;
    using Bilateral = kx_velmo::GRFRenderNodeBilateral;
    using Usm = kx_velmo::GRFRenderNodeUSM;
    return {
        {"_s_usm_1pass_vertex_shader_src", SrRenderCommon::_s_usm_1pass_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"_s_usm_1pass_vertex_shader_src_310", SrRenderCommon::_s_usm_1pass_vertex_shader_src_310.c_str(), true,
         Form::kEs310},
        {"_s_usm_1pass_fragment_shader_src", SrRenderCommon::_s_usm_1pass_fragment_shader_src.c_str(), false,
         Form::kNoVersion},
        {"_s_gsr_render_fragment_shader_src", SrRenderCommon::_s_gsr_render_fragment_shader_src.c_str(), false,
         Form::kEs310},
        {"_s_gsr_fallback_render_fragment_shader_src",
         SrRenderCommon::_s_gsr_fallback_render_fragment_shader_src.c_str(), false, Form::kNoVersion},
        {"gaussian vetex_shader_src", Blur::vetex_shader_src.c_str(), true, Form::kDesktop},
        {"gaussian fragment_shader_src", Blur::fragment_shader_src.c_str(), false, Form::kDesktop},
        {"bilateral_vertex_shader_src", Bilateral::bilateral_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"bilateral_fragment_shader_src", Bilateral::bilateral_fragment_shader_src.c_str(), false, Form::kDesktop},
        {"usm vertex_shader_src", Usm::vertex_shader_src.c_str(), true, Form::kDesktop},
        {"usm fragment_shader_src", Usm::fragment_shader_src.c_str(), false, Form::kDesktop},
        {"cube_vertex_shader_src", demo::cube_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"cube_fragment_shader_src", demo::cube_fragment_shader_src.c_str(), false, Form::kDesktop},
        {"fractal_vertex_shader_src", demo::fractal_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"fractal_fragment_shader_src", demo::fractal_fragment_shader_src.c_str(), false, Form::kDesktop},
        {"android_camera_vertex_shader_src", demo::android_camera_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"android_camera_fragment_shader_src", demo::android_camera_fragment_shader_src.c_str(), false,
         Form::kDesktopOes},
        {"android_camera_fragment_shader_src_sigmoid", demo::android_camera_fragment_shader_src_sigmoid.c_str(), false,
         Form::kDesktopOes},
        {"crop_surface_vertex_shader_src", demo::crop_surface_vertex_shader_src.c_str(), true, Form::kDesktop},
        {"crop_surface_fragment_shader_src", demo::crop_surface_fragment_shader_src.c_str(), false, Form::kDesktop},
        {"colorblend_filter_vertex_shader_src", demo::colorblend_filter_vertex_shader_src.c_str(), true,
         Form::kDesktop},
        {"colorblend_filter_fragment_shader_src", demo::colorblend_filter_fragment_shader_src.c_str(), false,
         Form::kDesktop},
        {"bilateral_filter_vertex_shader_src", demo::bilateral_filter_vertex_shader_src.c_str(), true,
         Form::kDesktop},
        {"bilateral_filter_fragment_shader_src", demo::bilateral_filter_fragment_shader_src.c_str(), false,
         Form::kDesktop},
    };
}

} // namespace

TEST(ShaderTextForm, VersionLineThenOneLine)
{
    for (const Text& shader : texts()) {
        SCOPED_TRACE(shader.name);
        std::string body = shader.text;
        switch (shader.form) {
        case Form::kDesktop:
        case Form::kDesktopOes:
            ASSERT_EQ(shader.text.rfind("#version 330\n", 0), 0u);
            body = shader.text.substr(13);
            break;
        case Form::kEs310:
            ASSERT_EQ(shader.text.rfind("#version 310 es\n ", 0), 0u);
            body = shader.text.substr(17);
            break;
        case Form::kNoVersion:
            EXPECT_EQ(shader.text.find("#version"), std::string::npos);
            break;
        }
        EXPECT_EQ(body.find('\n'), std::string::npos);
        EXPECT_EQ(body.find("  "), std::string::npos) << "statements are separated by single spaces";
    }
}

TEST(ShaderTextForm, ReferenceCompilerAcceptsEveryForm)
{
    if (!velmo_test::glslang_available())
        GTEST_SKIP() << "glslangValidator was not found when the build was configured (Debian: glslang-tools)";
    for (const Text& shader : texts()) {
        SCOPED_TRACE(shader.name);
        const std::string compiled = shader.form == Form::kNoVersion ? "#version 330\n" + shader.text : shader.text;
        if (shader.form != Form::kDesktopOes) {
            EXPECT_EQ(glslang_rejection(compiled, shader.vertex), "");
        }
        if (shader.form != Form::kEs310) {
            const std::string es = GRF::GPUShader::gles_source(compiled.c_str()).c_str();
            EXPECT_EQ(es.rfind("#version 300 es\n", 0), 0u);
            EXPECT_EQ(glslang_rejection(es, shader.vertex), "");
        }
    }
}
