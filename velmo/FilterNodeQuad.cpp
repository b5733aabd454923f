// The filter nodes' quad: the built-in tables loaded into one vertex array.
#include "velmo/FilterNodeQuad.h"

#include <memory>

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFGPU/GRFMagicData.h"

namespace kx_velmo {

GRF::GPUVertexArray* create_filter_node_quad(bool second_coordinates)
{
    using namespace GRF::GRFMagicData;
    auto vertex_array = std::make_unique<GRF::GPUVertexArray>();
    vertex_array->add_vertex(plane_vertex, sizeof(plane_vertex), 0, 3, 0);
    vertex_array->add_vertex(plane_coor, sizeof(plane_coor), 1, 3, 0);
    if (second_coordinates)
        vertex_array->add_vertex(plane_coor, sizeof(plane_coor), 2, 3, 0);
    vertex_array->set_index(plane_vertex_index, sizeof(plane_vertex_index));
    return vertex_array.release();
}

void release_filter_node_objects(GRF::GPUVertexArray*& vertex_array, GRF::GPUDrawCall*& draw_call)
{
    delete vertex_array;
    vertex_array = nullptr;
    delete draw_call;
    draw_call = nullptr;
}

} // namespace kx_velmo
