// GPUShader::gles_source: which texts are rewritten for OpenGL ES drivers, and into what.
#include "grf/GRFGPU/GPUShader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string gles(const char* text)
{
    return GRF::GPUShader::gles_source(GRF::GRFString(text)).c_str();
}

const char kPrecisions[] = "precision highp float;\nprecision highp int;\n";

} // namespace

TEST(GLSLDialect, DesktopVersionBecomesEs300WithDefaultPrecisions)
{
    EXPECT_EQ(gles("#version 330\nout vec4 color; void main() { color = vec4(1.0); }"),
              std::string("#version 300 es\n") + kPrecisions + "out vec4 color; void main() { color = vec4(1.0); }");
    EXPECT_EQ(gles("#version 330 core\nvoid main() {}"), std::string("#version 300 es\n") + kPrecisions + "void main() {}");
    EXPECT_EQ(gles("\n  #  version 150\nvoid main() {}"), std::string("#version 300 es\n") + kPrecisions + "void main() {}");
    EXPECT_EQ(gles("#version 330"), std::string("#version 300 es\n") + kPrecisions);
}

TEST(GLSLDialect, EsTextsAndTextsWithoutVersionStayUnchanged)
{
    for (const char* text : {"#version 310 es\n layout(location = 0) in vec3 position; void main() {}",
                             "#version 300 es\nvoid main() {}", "#version 100\nvoid main() { gl_FragColor = vec4(1.0); }",
                             "in vec2 outCoor; out vec4 color; void main() {}", "", "void main() {} // #version 330"})
        EXPECT_EQ(gles(text), text);
}

TEST(GLSLDialect, ExternalSamplerGetsTheEssl3Extension)
{
    EXPECT_EQ(gles("#version 330\nuniform samplerExternalOES t; void main() {}"),
              std::string("#version 300 es\n#extension GL_OES_EGL_image_external_essl3 : require\n") + kPrecisions +
                  "uniform samplerExternalOES t; void main() {}");
}

TEST(GLSLDialect, TextsOwnExtensionsStayAheadOfThePrecisions)
{
    EXPECT_EQ(gles("#version 330\n#extension GL_EXT_shader_framebuffer_fetch : enable\n  #extension GL_X : warn\n"
                   "void main() {}"),
              std::string("#version 300 es\n#extension GL_EXT_shader_framebuffer_fetch : enable\n"
                          "  #extension GL_X : warn\n") +
                  kPrecisions + "void main() {}");
}
