// GPUVertexArray: one vertex array object with a buffer per attribute and an index buffer.
#pragma once

#include "grf/GRFExport.h"

namespace GRF {

class GPUVertexArrayPrivate;

// Filled once (attributes, then indices), then drawn as indexed triangles any number of times, in
// the context that created it (GL does not share vertex array objects between contexts).
class GRF_EXPORT GPUVertexArray {
public:
    GPUVertexArray();
    // Deletes the attribute buffers in the order they were added, then the index buffer, then the array.
    ~GPUVertexArray();

    GPUVertexArray(const GPUVertexArray&) = delete;
    GPUVertexArray& operator=(const GPUVertexArray&) = delete;

    // One float attribute at `attribute_index` (the shader's layout location), copied into its own
    // buffer; stride 0 means tightly packed. The array buffer binding is left at the new buffer.
    int add_vertex(const float* data, int size_in_bytes, int attribute_index, int components, unsigned int stride);
    // The same for hosts built against the non-const declaration; `data` is only read.
    int add_vertex(float* data, int size_in_bytes, int attribute_index, int components, unsigned int stride);

    // The 32-bit index buffer; the index count is size_in_bytes / 4. Meant to be called once: a second
    // call deletes the earlier index buffer and takes its place.
    int set_index(const unsigned int* data, int size_in_bytes);
    // The same for hosts built against the non-const declaration; `data` is only read.
    int set_index(unsigned int* data, int size_in_bytes);

    // Draws the indexed triangles and unbinds the array.
    int draw();

private:
    GPUVertexArrayPrivate* _private;
};

} // namespace GRF
