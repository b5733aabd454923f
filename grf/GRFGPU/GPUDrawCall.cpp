// GPUDrawCall: program construction from two stages, forwarded uniform setters, texture units, drawing.
#include "grf/GRFGPU/GPUDrawCall.h"

#include <GLES3/gl3.h>

#include <memory>

#include "grf/GRFGPU/GPUProgram.h"
#include "grf/GRFGPU/GPUShader.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFLog.h"

namespace GRF {

GPUDrawCall::GPUDrawCall(const GRFString& vertex_source, const GRFString& fragment_source)
    : _program(nullptr)
    , _vertex_array(nullptr)
{
    // Held by owners until the program is complete: running out of memory part-way frees them all.
    auto program = std::make_unique<GPUProgram>();
    auto vertex = std::make_unique<GPUShader>(vertex_source, GPU_SHADER_VERTEX);
    auto fragment = std::make_unique<GPUShader>(fragment_source, GPU_SHADER_FRAGMENT);
    vertex->compile();
    fragment->compile();
    program->attach_shader(vertex.get());
    program->attach_shader(fragment.get());
    program->link_program();
    // GL keeps the stages alive while the program holds them; the wrappers go now.
    _program = program.release();
}

GPUDrawCall::~GPUDrawCall()
{
    delete _program;
}

int GPUDrawCall::set_vertex_array(GPUVertexArray* vertex_array)
{
    _vertex_array = vertex_array;
    return 0;
}

int GPUDrawCall::put_uniform_float(const GRFString& name, float v)
{
    return _program->put_uniform_float(name, v);
}

int GPUDrawCall::put_uniform_floatvec2(const GRFString& name, const float* v)
{
    return _program->put_uniform_floatvec2(name, v);
}

int GPUDrawCall::put_uniform_floatvec3(const GRFString& name, const float* v)
{
    return _program->put_uniform_floatvec3(name, v);
}

int GPUDrawCall::put_uniform_floatvec4(const GRFString& name, const float* v)
{
    return _program->put_uniform_floatvec4(name, v);
}

int GPUDrawCall::put_uniform_int(const GRFString& name, int v)
{
    return _program->put_uniform_int(name, v);
}

int GPUDrawCall::put_uniform_mat4x4(const GRFString& name, const Matrix4x4<float>& m, bool transpose)
{
    return _program->put_uniform_mat4x4(name, m, transpose);
}

int GPUDrawCall::put_uniform_mat3x3(const GRFString& name, const Matrix3x3<float>& m, bool transpose)
{
    return _program->put_uniform_mat3x3(name, m, transpose);
}

int GPUDrawCall::put_uniform_texture(const GRFString& name, GPUTexture* texture, int unit)
{
    _program->use_program();
    if (!texture) {
        GRF_LOG("put_uniform_texture %s: no texture\n", name.c_str());
        return -1;
    }
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    texture->bind_texture();
    return _program->put_uniform_int(name, unit);
}

int GPUDrawCall::draw()
{
    if (!_vertex_array) {
        GRF_LOG("GPUDrawCall draw: no vertex array set\n");
        return -1;
    }
    _program->use_program();
    return _vertex_array->draw();
}

} // namespace GRF
