// GPUProgram: program object lifetime, linking with info-log reporting, and the uniform setters.
#include "grf/GRFGPU/GPUProgram.h"

#include <GLES3/gl3.h>

#include <vector>

#include "grf/GRFGPU/GPUShader.h"
#include "grf/GRFLog.h"

namespace GRF {

class GPUProgramPrivate {
public:
    GLuint name = 0;
};

GPUProgram::GPUProgram()
    : _private(new GPUProgramPrivate)
{
    _private->name = glCreateProgram();
}

GPUProgram::~GPUProgram()
{
    if (_private->name != 0)
        glDeleteProgram(_private->name);
    delete _private;
}

int GPUProgram::attach_shader(GPUShader* shader)
{
    // A shader that failed to be made would otherwise be dereferenced here.
    if (!shader) {
        GRF_LOG("attach_shader: no shader\n");
        return -1;
    }
    glAttachShader(_private->name, static_cast<GLuint>(shader->get_shader_id()));
    return 0;
}

int GPUProgram::link_program()
{
    glLinkProgram(_private->name);
    GLint log_length = 0;
    glGetProgramiv(_private->name, GL_INFO_LOG_LENGTH, &log_length);
    if (log_length > 0) {
        std::vector<char> info(static_cast<size_t>(log_length) + 1, '\0');
        glGetProgramInfoLog(_private->name, log_length, nullptr, info.data());
        GRF_LOG_AT(GRFLogLevel::warn, "%s\n", info.data());
    }
    return 0;
}

int GPUProgram::use_program()
{
    glUseProgram(_private->name);
    return 0;
}

int GPUProgram::get_program_id() const
{
    return static_cast<int>(_private->name);
}

int GPUProgram::locate(const GRFString& name)
{
    use_program();
    return glGetUniformLocation(_private->name, name.c_str());
}

int GPUProgram::put_uniform_float(const GRFString& name, float v)
{
    glUniform1f(locate(name), v);
    return 0;
}

int GPUProgram::put_uniform_floatvec2(const GRFString& name, const float* v)
{
    glUniform2fv(locate(name), 1, v);
    return 0;
}

int GPUProgram::put_uniform_floatvec3(const GRFString& name, const float* v)
{
    glUniform3fv(locate(name), 1, v);
    return 0;
}

int GPUProgram::put_uniform_floatvec4(const GRFString& name, const float* v)
{
    glUniform4fv(locate(name), 1, v);
    return 0;
}

int GPUProgram::put_uniform_int(const GRFString& name, int v)
{
    glUniform1i(locate(name), v);
    return 0;
}

int GPUProgram::put_uniform_intvec2(const GRFString& name, const int* v)
{
    glUniform2iv(locate(name), 1, v);
    return 0;
}

int GPUProgram::put_uniform_mat4x4(const GRFString& name, const Matrix4x4<float>& m, bool transpose)
{
    const GLint location = locate(name);
    // A Matrix4x4 takes the shape of whatever was assigned to it; get_mat writes rows x cols floats.
    if (m.rows() != 4 || m.cols() != 4) {
        GRF_LOG("put_uniform_mat4x4 %s: matrix is %d x %d, not 4 x 4\n", name.c_str(), m.rows(), m.cols());
        return -1;
    }
    float elements[16];
    m.get_mat(elements);
    glUniformMatrix4fv(location, 1, transpose ? GL_TRUE : GL_FALSE, elements);
    return 0;
}

int GPUProgram::put_uniform_mat3x3(const GRFString& name, const Matrix3x3<float>& m, bool transpose)
{
    const GLint location = locate(name);
    if (m.rows() != 3 || m.cols() != 3) {
        GRF_LOG("put_uniform_mat3x3 %s: matrix is %d x %d, not 3 x 3\n", name.c_str(), m.rows(), m.cols());
        return -1;
    }
    float elements[9];
    m.get_mat(elements);
    glUniformMatrix3fv(location, 1, transpose ? GL_TRUE : GL_FALSE, elements);
    return 0;
}

} // namespace GRF
