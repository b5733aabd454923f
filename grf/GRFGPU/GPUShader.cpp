// GPUShader: shader object lifetime, compilation with info-log reporting, and the GLSL ES rewrite.
#include "grf/GRFGPU/GPUShader.h"

#include <GLES3/gl31.h>

#include <cstring>
#include <string>
#include <vector>

#include "grf/GRFLog.h"

namespace GRF {

class GPUShaderPrivate {
public:
    GLuint name = 0;
};

namespace {

GLenum gl_type_of(GPUShaderType type)
{
    switch (type) {
    case GPU_SHADER_FRAGMENT: return GL_FRAGMENT_SHADER;
    case GPU_SHADER_COMPUTE: return GL_COMPUTE_SHADER;
    default: return GL_VERTEX_SHADER;
    }
}

bool current_context_is_gles()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return version && std::strncmp(version, "OpenGL ES", 9) == 0;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Position just past the blanks (spaces and tabs only) that start at `pos`.
size_t skip_spaces(const std::string& text, size_t pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    return pos;
}

// The next space-separated word of one line, starting at `pos`; `pos` moves past it.
std::string next_word(const std::string& line, size_t& pos)
{
    pos = skip_spaces(line, pos);
    const size_t start = pos;
    while (pos < line.size() && !is_blank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}

// True when `line` is the preprocessor directive `directive` ("#  version ..." included).
bool is_directive(const std::string& line, const char* directive)
{
    size_t pos = skip_spaces(line, 0);
    if (pos >= line.size() || line[pos] != '#')
        return false;
    ++pos;
    return next_word(line, pos) == directive;
}

// A version line that a desktop GL driver would take: any version except the ES ones (100 or "es").
bool is_desktop_version(const std::string& line)
{
    size_t pos = skip_spaces(line, 0) + 1;
    next_word(line, pos);
    const std::string number = next_word(line, pos);
    const std::string profile = next_word(line, pos);
    return !number.empty() && number != "100" && profile != "es";
}

// Splits off the line that starts at `pos` (without its newline) and moves `pos` to the next line.
std::string take_line(const std::string& text, size_t& pos)
{
    const size_t end = text.find('\n', pos);
    const size_t stop = end == std::string::npos ? text.size() : end;
    std::string line = text.substr(pos, stop - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    return line;
}

} // namespace

GPUShader::GPUShader(const GRFString& source, GPUShaderType type)
    : _source(source)
    , _type(type)
    , _private(new GPUShaderPrivate)
{
    _private->name = glCreateShader(gl_type_of(_type));
}

GPUShader::~GPUShader()
{
    if (_private->name != 0)
        glDeleteShader(_private->name);
    delete _private;
}

int GPUShader::compile()
{
    return ogl_compile();
}

int GPUShader::ogl_compile()
{
    const GRFString compiled = current_context_is_gles() ? gles_source(_source) : _source;
    const char* text = compiled.c_str();
    glShaderSource(_private->name, 1, &text, nullptr);
    glCompileShader(_private->name);

    GLint log_length = 0;
    glGetShaderiv(_private->name, GL_INFO_LOG_LENGTH, &log_length);
    if (log_length > 0) {
        std::vector<char> info(static_cast<size_t>(log_length) + 1, '\0');
        glGetShaderInfoLog(_private->name, log_length, nullptr, info.data());
        GRF_LOG_AT(GRFLogLevel::warn, "Shader Src:\n %s\n", text);
        GRF_LOG_AT(GRFLogLevel::warn, "%s\n", info.data());
    }
    return 0;
}

int GPUShader::get_shader_id() const
{
    return static_cast<int>(_private->name);
}

GRFString GPUShader::gles_source(const GRFString& source)
{
    const std::string text = source.c_str();
    size_t pos = 0;
    while (pos < text.size() && is_blank(text[pos]))
        ++pos;
    const std::string version_line = take_line(text, pos);
    if (!is_directive(version_line, "version") || !is_desktop_version(version_line))
        return source;

    // Extension directives must precede every statement, so the text's own move above the precisions.
    std::string extensions;
    size_t body = pos;
    while (body < text.size()) {
        size_t next = body;
        const std::string line = take_line(text, next);
        if (!is_directive(line, "extension"))
            break;
        extensions += line + "\n";
        body = next;
    }

    std::string rewritten = "#version 300 es\n";
    if (text.find("samplerExternalOES", body) != std::string::npos)
        rewritten += "#extension GL_OES_EGL_image_external_essl3 : require\n";
    rewritten += extensions;
    rewritten += "precision highp float;\nprecision highp int;\n";
    rewritten += text.substr(body);
    return GRFString(rewritten);
}

} // namespace GRF
