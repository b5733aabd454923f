// The full-screen quad and the object release shared by the filter nodes.
#pragma once

namespace GRF {
class GPUDrawCall;
class GPUVertexArray;
} // namespace GRF

namespace kx_velmo {

// A vertex array over the quad tables: positions at location 0 and texture coordinates at location 1,
// and again at location 2 when `second_coordinates` is set (two-input nodes read both at one place).
GRF::GPUVertexArray* create_filter_node_quad(bool second_coordinates);

// Deletes the vertex array, then the draw call, clearing each pointer; null pointers are skipped, so a
// second call does nothing.
void release_filter_node_objects(GRF::GPUVertexArray*& vertex_array, GRF::GPUDrawCall*& draw_call);

} // namespace kx_velmo
