// Every copy and colour-conversion text compiles and links on Mesa's ES context without a log line.
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <string>

#include "gpu/CopyShaderTexts.h"
#include "grf/GRFGPU/GPUProgram.h"
#include "grf/GRFGPU/GPUShader.h"
#include "support/PlayerGLTest.h"
#include "support/StderrCapture.h"

using GRF::GRFString;
using kx_velmo::SrRenderCommon;

namespace {

class ShaderTextsGLTest : public velmo_test::PlayerGLTest {
protected:
    // Links the two texts as the draw call does; returns the log, expecting a linked program.
    static std::string link(const GRFString& vertex, const GRFString& fragment)
    {
        velmo_test::StderrCapture capture;
        GRF::GPUProgram program;
        GRF::GPUShader vertex_shader(vertex, GRF::GPU_SHADER_VERTEX);
        GRF::GPUShader fragment_shader(fragment, GRF::GPU_SHADER_FRAGMENT);
        vertex_shader.compile();
        fragment_shader.compile();
        program.attach_shader(&vertex_shader);
        program.attach_shader(&fragment_shader);
        program.link_program();
        GLint linked = GL_FALSE;
        glGetProgramiv(static_cast<GLuint>(program.get_program_id()), GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
        return capture.finish();
    }
};

} // namespace

TEST_F(ShaderTextsGLTest, FragmentTextsLinkWithTheCopyVertexStage)
{
    for (const velmo_test::ShaderText& shader : velmo_test::copy_shader_texts()) {
        if (shader.vertex)
            continue;
        EXPECT_EQ(link(SrRenderCommon::_s_vertex_shader_src, GRFString(velmo_test::desktop_form(shader).c_str())), "")
            << shader.name;
    }
}

TEST_F(ShaderTextsGLTest, Es310VertexStageLinks)
{
    // GLSL ES links stages of one version only, so its fragment partner is given an ES 3.10 header.
    const GRFString fragment =
        GRFString("#version 310 es\nprecision highp float;\n") + SrRenderCommon::_s_2d_fragment_shader_src;
    EXPECT_EQ(link(SrRenderCommon::_s_vertex_shader_src_310, fragment), "");
}
