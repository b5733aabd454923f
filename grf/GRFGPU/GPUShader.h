// GPUShader: compiles one GLSL stage from its source text, in the dialect of the current context.
#pragma once

#include <cstdint>

#include "grf/GRFExport.h"
#include "grf/GRFString.h"

namespace GRF {

// Any value other than these three creates a vertex shader.
enum GPUShaderType : int32_t {
    GPU_SHADER_VERTEX = 0,
    GPU_SHADER_FRAGMENT = 1,
    GPU_SHADER_COMPUTE = 2,
};

class GPUShaderPrivate;

// Compilation never fails loudly: a non-empty info log is logged together with the compiled text,
// and the caller carries on with whatever the driver made of it.
class GRF_EXPORT GPUShader {
public:
    // Copies the source and creates the GL shader object (name 0 when the driver refuses).
    GPUShader(const GRFString& source, GPUShaderType type);
    ~GPUShader();

    GPUShader(const GPUShader&) = delete;
    GPUShader& operator=(const GPUShader&) = delete;

    int compile();
    int ogl_compile();

    int get_shader_id() const;

    // The text compiled on an OpenGL ES context. Sources start with a desktop "#version 330" line
    // (or are given one), which ES drivers reject; such a line becomes "#version 300 es" with highp
    // default precisions, the external-image extension when the text samples samplerExternalOES, and
    // the text's own leading #extension lines ahead of the precisions. ES texts come back unchanged.
    static GRFString gles_source(const GRFString& source);

private:
    GRFString _source;
    GPUShaderType _type;
    GPUShaderPrivate* _private;
};

} // namespace GRF
