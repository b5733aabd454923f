// QuadProgram: a program built from two texts with the library's draw call, drawn over the full-screen
// quad into a fresh RGBA8 texture and read back; needs a current OpenGL ES 3 context.
#pragma once

#include <memory>
#include <vector>

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFString.h"
#include "support/PlayerGLTest.h"

namespace velmo_test {

class QuadProgram {
public:
    // Texture coordinates at location 1, and at location 2 too when `second_coordinates` is set.
    QuadProgram(const GRF::GRFString& vertex_source, const GRF::GRFString& fragment_source,
                bool second_coordinates = false);

    // Plain uniforms go straight through the draw call.
    GRF::GPUDrawCall& call() { return *_call; }

    // A sampler's texture, bound right before every draw: unit bindings are GL state that creating the
    // target texture disturbs.
    void set_texture(const GRF::GRFString& name, GRF::GPUTexture* texture, int unit);

    // Draws into a width x height target cleared to transparent black.
    RgbaImage draw(int width, int height);

private:
    struct Sampler {
        GRF::GRFString name;
        GRF::GPUTexture* texture;
        int unit;
    };

    std::unique_ptr<GRF::GPUVertexArray> _quad;
    std::unique_ptr<GRF::GPUDrawCall> _call;
    std::vector<Sampler> _samplers;
};

// An owned 2D texture holding the image (linear filtering, clamped edges: the library's defaults).
std::unique_ptr<GRF::GPUTexture> upload(const RgbaImage& image);

// The header the library puts in front of fragment texts that carry no version line.
GRF::GRFString with_desktop_header(const GRF::GRFString& fragment_source);

} // namespace velmo_test
