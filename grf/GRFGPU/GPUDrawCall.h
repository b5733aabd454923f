// GPUDrawCall: a program built from a vertex and a fragment source, plus the vertex array it draws.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFMath/Matrix.h"
#include "grf/GRFString.h"

namespace GRF {

class GPUProgram;
class GPUTexture;
class GPUVertexArray;

// Uniform values go to the GL program at once and live there until set again. Texture bindings are
// state of a texture unit, not of the call, so they are set again right before each draw.
class GRF_EXPORT GPUDrawCall {
public:
    // Compiles both stages, links them and drops the stage objects; problems are only logged.
    GPUDrawCall(const GRFString& vertex_source, const GRFString& fragment_source);
    // Deletes the program; the vertex array belongs to whoever set it.
    ~GPUDrawCall();

    GPUDrawCall(const GPUDrawCall&) = delete;
    GPUDrawCall& operator=(const GPUDrawCall&) = delete;

    // Not owned: the array must outlive every draw of this call.
    int set_vertex_array(GPUVertexArray* vertex_array);

    int put_uniform_float(const GRFString& name, float v);
    int put_uniform_floatvec2(const GRFString& name, const float* v);
    int put_uniform_floatvec3(const GRFString& name, const float* v);
    int put_uniform_floatvec4(const GRFString& name, const float* v);
    int put_uniform_int(const GRFString& name, int v);
    int put_uniform_mat4x4(const GRFString& name, const Matrix4x4<float>& m, bool transpose);
    int put_uniform_mat3x3(const GRFString& name, const Matrix3x3<float>& m, bool transpose);

    // Binds the texture to its own target on unit `unit`, leaves that unit active and points the
    // sampler `name` at it. Returns -1 (logged) for a null texture.
    int put_uniform_texture(const GRFString& name, GPUTexture* texture, int unit);

    // Uses the program and draws the vertex array. Returns -1 (logged, nothing drawn) when no
    // vertex array was set.
    int draw();

private:
    GPUProgram* _program;
    GPUVertexArray* _vertex_array;
};

} // namespace GRF
