// GPUShader on Mesa's ES context: stage types, info-log reporting and compiling desktop texts as ES.
#include "grf/GRFGPU/GPUShader.h"

#include <GLES3/gl31.h>
#include <gtest/gtest.h>

#include <string>

#include "support/PlayerGLTest.h"
#include "support/StderrCapture.h"

using GRF::GPUShader;
using GRF::GRFString;

namespace {

class GPUShaderGLTest : public velmo_test::PlayerGLTest {
protected:
    static GLint shader_value(const GPUShader& shader, GLenum what)
    {
        GLint value = 0;
        glGetShaderiv(static_cast<GLuint>(shader.get_shader_id()), what, &value);
        return value;
    }
};

const char kFragment[] = "#version 330\nout vec4 color; void main() { color = vec4(0.25, 0.5, 0.75, 1.0); }";

} // namespace

TEST_F(GPUShaderGLTest, TypeSelectsTheStage)
{
    const struct {
        int type;
        GLenum expected;
    } cases[] = {{GRF::GPU_SHADER_VERTEX, GL_VERTEX_SHADER},
                 {GRF::GPU_SHADER_FRAGMENT, GL_FRAGMENT_SHADER},
                 {GRF::GPU_SHADER_COMPUTE, GL_COMPUTE_SHADER},
                 {5, GL_VERTEX_SHADER},
                 {-1, GL_VERTEX_SHADER}};
    for (const auto& c : cases) {
        GPUShader shader(GRFString(""), static_cast<GRF::GPUShaderType>(c.type));
        ASSERT_NE(shader.get_shader_id(), 0) << "type " << c.type;
        EXPECT_EQ(shader_value(shader, GL_SHADER_TYPE), static_cast<GLint>(c.expected)) << "type " << c.type;
    }
}

TEST_F(GPUShaderGLTest, CleanCompileLogsNothing)
{
    GPUShader shader(GRFString(kFragment), GRF::GPU_SHADER_FRAGMENT);
    velmo_test::StderrCapture capture;
    EXPECT_EQ(shader.compile(), 0);
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(shader_value(shader, GL_COMPILE_STATUS), GL_TRUE) << "the desktop text is compiled as GLSL ES 3.00";
}

TEST_F(GPUShaderGLTest, SyntaxErrorLogsSourceThenDriverMessage)
{
    const std::string source = "#version 300 es\nprecision mediump float;\nvoid main() { float x = ; }";
    GPUShader shader(GRFString(source.c_str()), GRF::GPU_SHADER_FRAGMENT);
    velmo_test::StderrCapture capture;
    EXPECT_EQ(shader.compile(), 0);
    const std::string log = capture.finish();

    EXPECT_EQ(shader_value(shader, GL_COMPILE_STATUS), GL_FALSE);
    EXPECT_EQ(log.rfind("[GPUShader.cpp(", 0), 0u) << log;
    const size_t source_at = log.find(")] Shader Src:\n " + source + "\n");
    ASSERT_NE(source_at, std::string::npos) << log;
    const size_t message_at = log.find("[GPUShader.cpp(", source_at);
    ASSERT_NE(message_at, std::string::npos) << log;
    EXPECT_NE(log.find("error", message_at), std::string::npos) << log;
}

TEST_F(GPUShaderGLTest, LogShowsTheTextActuallyCompiled)
{
    GPUShader shader(GRFString("#version 330\nvoid main() { undeclared = 1.0; }"), GRF::GPU_SHADER_VERTEX);
    velmo_test::StderrCapture capture;
    shader.compile();
    const std::string log = capture.finish();
    EXPECT_NE(log.find("Shader Src:\n #version 300 es\nprecision highp float;\nprecision highp int;\n"
                       "void main() { undeclared = 1.0; }\n"),
              std::string::npos)
        << log;
}

TEST_F(GPUShaderGLTest, EsTextIsCompiledAsWritten)
{
    GPUShader shader(GRFString("#version 310 es\n layout(location = 0) in vec3 position; "
                               "void main() { gl_Position = vec4(position, 1.0); }"),
                     GRF::GPU_SHADER_VERTEX);
    velmo_test::StderrCapture capture;
    shader.compile();
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(shader_value(shader, GL_COMPILE_STATUS), GL_TRUE);
}

TEST_F(GPUShaderGLTest, DestructionDeletesTheShader)
{
    GLuint name = 0;
    {
        GPUShader shader(GRFString(kFragment), GRF::GPU_SHADER_FRAGMENT);
        name = static_cast<GLuint>(shader.get_shader_id());
        EXPECT_TRUE(glIsShader(name));
    }
    EXPECT_FALSE(glIsShader(name));
}
