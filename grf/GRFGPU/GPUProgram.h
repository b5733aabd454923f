// GPUProgram: links shader stages into a GL program and sets its uniforms by name.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFMath/Matrix.h"
#include "grf/GRFString.h"

namespace GRF {

class GPUProgramPrivate;
class GPUShader;

// Linking never fails loudly: a non-empty info log is logged and the program is kept as it is.
// Every uniform setter first makes the program current (and leaves it current), then looks the
// location up again; a name the program lacks changes nothing.
class GRF_EXPORT GPUProgram {
public:
    GPUProgram();
    ~GPUProgram();

    GPUProgram(const GPUProgram&) = delete;
    GPUProgram& operator=(const GPUProgram&) = delete;

    int attach_shader(GPUShader* shader);
    int link_program();
    int use_program();
    int get_program_id() const;

    int put_uniform_float(const GRFString& name, float v);
    int put_uniform_floatvec2(const GRFString& name, const float* v);
    int put_uniform_floatvec3(const GRFString& name, const float* v);
    int put_uniform_floatvec4(const GRFString& name, const float* v);
    int put_uniform_int(const GRFString& name, int v);
    int put_uniform_intvec2(const GRFString& name, const int* v);

    // The matrix is handed over row by row; with transpose true the shader sees it as stored (our
    // matrices are row-major, GLSL's are column-major), with false it sees the transpose.
    // Returns -1 (logged, nothing set) when the matrix is not of the setter's shape.
    int put_uniform_mat4x4(const GRFString& name, const Matrix4x4<float>& m, bool transpose);
    int put_uniform_mat3x3(const GRFString& name, const Matrix3x3<float>& m, bool transpose);

private:
    // Makes the program current and returns the uniform's location (-1 when absent).
    int locate(const GRFString& name);

    GPUProgramPrivate* _private;
};

} // namespace GRF
