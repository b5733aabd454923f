// What the GL tests of the GPU layer share: the quad's vertex array and small GL query helpers.
#pragma once

#include <GLES3/gl3.h>

#include <memory>

#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFGPU/GRFMagicData.h"
#include "grf/GRFString.h"

namespace velmo_test {

// The full-screen quad as every pass feeds it: positions at location 0, coordinates at location 1.
inline std::unique_ptr<GRF::GPUVertexArray> make_quad()
{
    auto quad = std::make_unique<GRF::GPUVertexArray>();
    quad->add_vertex(GRF::GRFMagicData::plane_vertex, sizeof(GRF::GRFMagicData::plane_vertex), 0, 3, 0);
    quad->add_vertex(GRF::GRFMagicData::plane_coor, sizeof(GRF::GRFMagicData::plane_coor), 1, 3, 0);
    quad->set_index(GRF::GRFMagicData::plane_vertex_index, sizeof(GRF::GRFMagicData::plane_vertex_index));
    return quad;
}

// The header the library puts in front of fragment texts that carry no version line.
inline GRF::GRFString with_desktop_header(const GRF::GRFString& text)
{
    return GRF::GRFString("#version 330\n") + text;
}

inline GLint gl_integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

} // namespace velmo_test
