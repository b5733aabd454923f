// The exported texts of the upscaling pass, the one-pass unsharp mask, the filter nodes and the demo
// programs: their version lines and one-line form, and the reference compiler's verdict on each as
// written and in the GLSL ES form GPUShader compiles on ES drivers (no GL needed).
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
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

namespace {

// Every precision qualifier of a text with what it qualifies: the words from the qualifier up to the
// next ';', '=', ',' or ')', e.g. "highp vec2 imgCoord".
std::string precision_uses(const std::string& text)
{
    std::string uses;
    for (size_t at = 0; at < text.size(); ++at) {
        const bool word_start = at == 0 || !(std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_');
        if (!word_start)
            continue;
        for (const char* qualifier : {"highp ", "mediump ", "lowp "}) {
            if (text.compare(at, std::strlen(qualifier), qualifier) != 0)
                continue;
            const size_t end = text.find_first_of(";=,)", at);
            std::string use = text.substr(at, end - at);
            while (!use.empty() && use.back() == ' ')
                use.pop_back();
            uses += (uses.empty() ? "" : ", ") + use;
        }
    }
    return uses;
}

} // namespace

// llvmpipe computes every precision in 32 bits, so a dropped or weakened qualifier passes every
// pixel test here and fails only on GPUs with 16-bit mediump (1080p coordinates need highp).
TEST(ShaderTextForm, PrecisionQualifiersStayWhereTheyAre)
{
    using kx_velmo::SrRenderCommon;
    const struct {
        const char* name;
        const GRF::GRFString& text;
        const char* uses;
    } cases[] = {
        {"_s_vertex_shader_src", SrRenderCommon::_s_vertex_shader_src,
         ""},
        {"_s_vertex_shader_src_310", SrRenderCommon::_s_vertex_shader_src_310,
         ""},
        {"_s_2d_fragment_shader_src", SrRenderCommon::_s_2d_fragment_shader_src,
         "lowp vec3 rgb"},
        {"_s_oes_fragment_shader_src", SrRenderCommon::_s_oes_fragment_shader_src,
         "lowp vec3 rgb"},
        {"_s_2d__rgb2y_fragment_shader_src", SrRenderCommon::_s_2d__rgb2y_fragment_shader_src,
         "lowp vec3 rgb"},
        {"_s_2d__rgb2uv_fragment_shader_src", SrRenderCommon::_s_2d__rgb2uv_fragment_shader_src,
         "lowp vec3 rgb"},
        {"_s_yuv420p_2d_fragment_shader_src", SrRenderCommon::_s_yuv420p_2d_fragment_shader_src,
         "mediump vec3 yuv, lowp vec3 rgb"},
        {"_s_nv12_2d_fragment_shader_src", SrRenderCommon::_s_nv12_2d_fragment_shader_src,
         "mediump vec3 yuv, lowp vec3 rgb"},
        {"_s_usm_1pass_vertex_shader_src", SrRenderCommon::_s_usm_1pass_vertex_shader_src,
         "highp vec3 coor, highp float texelWidthOffset, highp float texelHeightOffset"},
        {"_s_usm_1pass_vertex_shader_src_310", SrRenderCommon::_s_usm_1pass_vertex_shader_src_310,
         "highp vec3 coor, highp float texelWidthOffset, highp float texelHeightOffset"},
        {"_s_usm_1pass_fragment_shader_src", SrRenderCommon::_s_usm_1pass_fragment_shader_src,
         "lowp int GAUSSIAN_SAMPLES"},
        {"_s_gsr_render_fragment_shader_src", SrRenderCommon::_s_gsr_render_fragment_shader_src,
         "mediump float, highp int, lowp int GAUSSIAN_SAMPLES, highp vec4 ViewportInfo, "
         "mediump sampler2D ps0, highp vec2 outCoor, highp vec2 imgCoord, "
         "highp vec2 imgCoordPixel, highp vec2 coord, highp vec2 pl"},
        {"_s_gsr_fallback_render_fragment_shader_src", SrRenderCommon::_s_gsr_fallback_render_fragment_shader_src,
         "mediump float, highp int, lowp int GAUSSIAN_SAMPLES, highp vec4 ViewportInfo, "
         "mediump sampler2D ps0, highp vec2 imgCoord, highp vec2 imgCoordPixel, "
         "highp vec2 coord, highp vec2 pl, highp vec4 offsets, highp vec2 rightCoord, "
         "highp vec2 upCoord, highp vec2 downCoord"},
        {"gaussian fragment_shader_src", kx_velmo::GRFRenderNodeGaussianBlur::fragment_shader_src,
         "lowp vec4 centre"},
        {"bilateral_fragment_shader_src", kx_velmo::GRFRenderNodeBilateral::bilateral_fragment_shader_src,
         ""},
        {"usm fragment_shader_src", kx_velmo::GRFRenderNodeUSM::fragment_shader_src,
         "lowp vec4 sharpImageColor, lowp vec3 blurredImageColor"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(precision_uses(c.text.c_str()), c.uses) << c.name;
}
