// The stretch pass: one triangle covering the target, texture coordinates growing with the
// framebuffer's rows so that row 0 of the source lands on row 0 of the target.
#include "StretchBlit.h"

#include <string>

#include "ToolError.h"
#include "client/GlTexture.h"
#include "client/TextureReader.h"

namespace velmo_upscale {

using velmo_client::GlTexture;
using velmo_client::TextureReader;
namespace {

const char* const kVertexShader = R"(#version 300 es
out vec2 coordinate;
void main()
{
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    coordinate = corner;
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D source;
in vec2 coordinate;
out vec4 color;
void main()
{
    color = texture(source, coordinate);
}
)";

GLuint compile(GLenum stage, const char* text)
{
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        glDeleteShader(shader);
        throw ToolError(kExitGpu, std::string("cannot compile the stretch shader: ") + log);
    }
    return shader;
}

} // namespace

StretchBlit::StretchBlit()
{
    GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
    GLuint fragment = 0;
    try {
        fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    _program = glCreateProgram();
    glAttachShader(_program, vertex);
    glAttachShader(_program, fragment);
    glLinkProgram(_program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(_program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[1024] = {};
        glGetProgramInfoLog(_program, sizeof log, nullptr, log);
        glDeleteProgram(_program);
        throw ToolError(kExitGpu, std::string("cannot link the stretch program: ") + log);
    }
    _source_location = glGetUniformLocation(_program, "source");
    glGenVertexArrays(1, &_vertex_array);
    glGenFramebuffers(1, &_framebuffer);
}

StretchBlit::~StretchBlit()
{
    glDeleteFramebuffers(1, &_framebuffer);
    glDeleteVertexArrays(1, &_vertex_array);
    glDeleteProgram(_program);
}

void StretchBlit::draw(GLuint source, GLuint target, int width, int height)
{
    glBindFramebuffer(GL_FRAMEBUFFER, _framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    glViewport(0, 0, width, height);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glUseProgram(_program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, source);
    glUniform1i(_source_location, 0);
    glBindVertexArray(_vertex_array);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

RgbaImage plain_stretch(GLuint source, int width, int height)
{
    GlTexture target;
    target.allocate(width, height);
    StretchBlit blit;
    blit.draw(source, target.name(), width, height);
    RgbaImage image;
    TextureReader reader;
    if (!reader.read(target.name(), width, height, image))
        throw ToolError(kExitGpu, "cannot read the stretched picture back");
    return image;
}

} // namespace velmo_upscale
